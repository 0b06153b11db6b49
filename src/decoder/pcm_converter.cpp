#include "decoder/pcm_converter.h"

#include <algorithm>
#include <cmath>
#include <utility>

extern "C" {
#include <libavutil/opt.h>
}

#include "decoder/decode_error.h"

namespace kestrun {
namespace {

// The speaker bits that WAV and FFmpeg share: front left up to top back right.
constexpr std::uint64_t kWavSpeakerBits = 0x3FFFF;

bool HasWavSpeakers(const AVChannelLayout& layout) {
    return layout.order == AV_CHANNEL_ORDER_NATIVE && layout.u.mask != 0 &&
           (layout.u.mask & ~kWavSpeakerBits) == 0;
}

// Layout to describe a frame to swresample; unordered channels get the default positions so a
// remix has something to work with.
media::ChannelLayout UsableInputLayout(const AVChannelLayout& layout) {
    if (layout.order != AV_CHANNEL_ORDER_UNSPEC) return media::ChannelLayout(layout);
    auto byCount = media::ChannelLayout::Default(layout.nb_channels);
    return byCount.Get().order == AV_CHANNEL_ORDER_NATIVE ? byCount : media::ChannelLayout(layout);
}

}  // namespace

int OutputSampleRateFor(int sourceRate) {
    if (sourceRate <= kMaxOutputRate) return sourceRate;
    return sourceRate % 44100 == 0 ? 44100 : kMaxOutputRate;
}

media::ChannelLayout OutputLayoutFor(OutputChannels choice, const AVChannelLayout& source) {
    switch (choice) {
        case OutputChannels::Mono:
            return media::ChannelLayout::FromMask(AV_CH_LAYOUT_MONO);
        case OutputChannels::Stereo:
            return media::ChannelLayout::FromMask(AV_CH_LAYOUT_STEREO);
        case OutputChannels::Surround51:
            return media::ChannelLayout::FromMask(AV_CH_LAYOUT_5POINT1);
        case OutputChannels::AsSource:
            break;
    }
    // Every WAV of ours feeds an AC-3 or AAC encode for a console, which carries 5.1 at most:
    // more channels (TrueHD or LPCM 7.1) are mixed down by swresample's standard matrix.
    if (source.nb_channels > kMaxOutputChannels)
        return media::ChannelLayout::FromMask(AV_CH_LAYOUT_5POINT1);
    if (HasWavSpeakers(source)) return media::ChannelLayout(source);
    return UsableInputLayout(media::ChannelLayout::Default(source.nb_channels).Get());
}

std::uint32_t WavChannelMask(const AVChannelLayout& layout) {
    return HasWavSpeakers(layout) ? static_cast<std::uint32_t>(layout.u.mask) : 0;
}

void AppendS16le(std::span<const float> samples, float gain, std::vector<std::uint8_t>& out) {
    const float scale = 32768.0f * gain;
    const auto start = out.size();
    out.resize(start + samples.size() * 2);
    auto* bytes = out.data() + start;
    for (const float sample : samples) {
        const float scaled = std::clamp(sample * scale, -32768.0f, 32767.0f);
        // NaN from a broken decoder fails both comparisons in clamp; it becomes silence.
        const auto value = static_cast<std::int16_t>(std::isnan(scaled) ? 0 : std::lrintf(scaled));
        const auto bits = static_cast<std::uint16_t>(value);
        *bytes++ = static_cast<std::uint8_t>(bits);
        *bytes++ = static_cast<std::uint8_t>(bits >> 8);
    }
}

PcmConverter::PcmConverter(media::ChannelLayout outputLayout, int outputRate, float gain)
    : outputLayout_(std::move(outputLayout)), outputRate_(outputRate), gain_(gain) {}

PcmConverter::InputFormat PcmConverter::InputFormatOf(const AVFrame& frame) {
    return {UsableInputLayout(frame.ch_layout), frame.sample_rate, frame.format};
}

std::span<const std::uint8_t> PcmConverter::Convert(const AVFrame& frame) {
    bytes_.clear();
    if (frame.nb_samples <= 0) return bytes_;
    auto input = InputFormatOf(frame);
    if (!resampler_ || !(input == input_)) {
        if (resampler_) ConvertInto(nullptr, 0);
        Configure(input);
    }
    ConvertInto(frame.extended_data, frame.nb_samples);
    return bytes_;
}

std::span<const std::uint8_t> PcmConverter::Drain() {
    bytes_.clear();
    if (resampler_) ConvertInto(nullptr, 0);
    return bytes_;
}

void PcmConverter::Configure(const InputFormat& input) {
    if (input.layout.Channels() <= 0 || input.sampleRate <= 0 || input.sampleFormat < 0) {
        throw DecodeError("the decoder delivered audio without channels or sample rate");
    }
    SwrContext* raw = nullptr;
    // swresample 4.7 takes the layouts by non-const pointer but only copies them.
    int result = swr_alloc_set_opts2(
        &raw, const_cast<AVChannelLayout*>(&outputLayout_.Get()), AV_SAMPLE_FMT_FLT, outputRate_,
        const_cast<AVChannelLayout*>(&input.layout.Get()),
        static_cast<AVSampleFormat>(input.sampleFormat), input.sampleRate, 0, nullptr);
    media::ResamplerPtr resampler(raw);
    if (result >= 0) {
        // A downmix is scaled so that full-scale sources cannot clip.
        av_opt_set_double(resampler.get(), "rematrix_maxval", 1.0, 0);
        result = swr_init(resampler.get());
    }
    if (result < 0) {
        throw DecodeError("cannot convert the audio to " +
                          std::to_string(outputLayout_.Channels()) +
                          " channels: " + media::LibavErrorText(result));
    }
    resampler_ = std::move(resampler);
    input_ = input;
}

void PcmConverter::ConvertInto(const std::uint8_t* const* input, int inputSamples) {
    const int room = swr_get_out_samples(resampler_.get(), inputSamples);
    if (room <= 0) return;
    floats_.resize(static_cast<std::size_t>(room) * outputLayout_.Channels());
    auto* output = reinterpret_cast<std::uint8_t*>(floats_.data());
    const int got = swr_convert(resampler_.get(), &output, room,
                                const_cast<const std::uint8_t**>(input), inputSamples);
    if (got < 0) throw DecodeError("converting the samples failed: " + media::LibavErrorText(got));
    AppendS16le(std::span<const float>(floats_.data(),
                                       static_cast<std::size_t>(got) * outputLayout_.Channels()),
                gain_, bytes_);
}

}  // namespace kestrun
