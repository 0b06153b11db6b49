#pragma once
// The header of a 16-bit PCM WAV file. Up to two channels it is the plain 44-byte header; with
// more it is WAVE_FORMAT_EXTENSIBLE carrying the speaker mask.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrun {

inline constexpr int kWavBitsPerSample = 16;
inline constexpr int kWavBytesPerSample = kWavBitsPerSample / 8;
// RIFF sizes are 32 bits. A longer file carries this value, which readers such as FFmpeg's take
// as "the data runs to the end of the file".
inline constexpr std::uint32_t kWavSizeUnknown = 0xFFFFFFFFu;

struct WavFormat {
    int channels = 0;
    int sampleRate = 0;
    // Speaker bits (front left = 1, front right = 2, ...); only written for more than two
    // channels, 0 when the layout has no standard speaker positions.
    std::uint32_t channelMask = 0;

    bool UsesExtensible() const { return channels > 2; }
    int BlockAlign() const { return channels * kWavBytesPerSample; }
    bool operator==(const WavFormat&) const = default;
};

std::size_t WavHeaderSize(const WavFormat& format);
// The complete header for `dataBytes` bytes of samples, sizes capped at kWavSizeUnknown.
std::vector<std::uint8_t> MakeWavHeader(const WavFormat& format, std::uint64_t dataBytes);

}  // namespace kestrun
