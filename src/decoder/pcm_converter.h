#pragma once
// Turns decoded frames of any sample format into the WAV's interleaved 16-bit little-endian
// samples: the channel layout chosen in the settings (through swresample), the gain, clipping.
#include <cstdint>
#include <span>
#include <vector>

#include "decoder/decoder_settings.h"
#include "media/libav_handles.h"

namespace kestrun {

// The most the WAV carries: what AC-3 takes (5.1 at 48 kHz), the encoders' common ground.
inline constexpr int kMaxOutputChannels = 6;
inline constexpr int kMaxOutputRate = 48000;

// The layout written to the WAV: the settings' choice, or the source's own layout when it has
// standard speaker positions (otherwise FFmpeg's default layout for its channel count); a source
// of more than six channels gives 5.1.
media::ChannelLayout OutputLayoutFor(OutputChannels choice, const AVChannelLayout& source);
// The WAV's sample rate: the source's, or 48 kHz (44.1 kHz for its multiples) above 48 kHz.
int OutputSampleRateFor(int sourceRate);
// WAVE_FORMAT_EXTENSIBLE speaker mask of a layout; 0 when it has no standard positions.
std::uint32_t WavChannelMask(const AVChannelLayout& layout);

// Appends samples in [-1, 1] times `gain` as clipped, rounded 16-bit little-endian values.
void AppendS16le(std::span<const float> samples, float gain, std::vector<std::uint8_t>& out);

class PcmConverter {
public:
    PcmConverter(media::ChannelLayout outputLayout, int outputRate, float gain);

    // The samples of one frame. A frame whose layout, rate or sample format differs from the
    // previous one's (a stream that switches from 5.1 to stereo) is remixed and resampled to the
    // same output. The span stays valid until the next call.
    std::span<const std::uint8_t> Convert(const AVFrame& frame);
    // What the resampler still holds at the end of the stream.
    std::span<const std::uint8_t> Drain();

private:
    struct InputFormat {
        media::ChannelLayout layout;
        int sampleRate = 0;
        int sampleFormat = -1;
        bool operator==(const InputFormat&) const = default;
    };

    static InputFormat InputFormatOf(const AVFrame& frame);
    void Configure(const InputFormat& input);
    void ConvertInto(const std::uint8_t* const* input, int inputSamples);

    media::ChannelLayout outputLayout_;
    int outputRate_;
    float gain_;
    InputFormat input_;
    media::ResamplerPtr resampler_;
    std::vector<float> floats_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace kestrun
