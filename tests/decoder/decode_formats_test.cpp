// End to end: tiny MKV and WMV files made by FFmpeg, decoded to WAV, checked with ffprobe and
// against the WAV header.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "decoder/decode_to_wav.h"
#include "decoder/media_samples.h"
#include "support/temp_folder.h"

namespace kestrun {
namespace {

using test::MakeSample;
using test::ProbeAudio;
using test::ReadWavSizes;
using test::TempFolder;

constexpr const char* kSine48k = "-f lavfi -i sine=frequency=440:duration=1:sample_rate=48000";
constexpr const char* kSine44k = "-f lavfi -i sine=frequency=440:duration=1:sample_rate=44100";
constexpr const char* kTinyVideo = "-f lavfi -i testsrc=size=64x48:rate=25:duration=1";

struct Format {
    const char* name;
    std::string arguments;
    int channels;
    int sampleRate;
    // How far the decoded length may stray from 1 second: one coded frame of padding, and for
    // AAC also the encoder delay that an MKV made by FFmpeg does not signal (FFmpeg's own
    // command line decodes those samples too).
    int slackSamples;
};

std::ostream& operator<<(std::ostream& out, const Format& format) { return out << format.name; }

class DecodeFormats : public ::testing::TestWithParam<Format> {
protected:
    TempFolder folder{"kestrun-decoder"};
};

void ExpectCompleteWav(const std::string& wav, const DecodeResult& result, int channels,
                       int sampleRate, double durationSlack) {
    ASSERT_TRUE(result.ok) << result.error;
    const auto probed = ProbeAudio(wav);
    EXPECT_EQ(probed.codec, "pcm_s16le");
    EXPECT_EQ(probed.channels, channels);
    EXPECT_EQ(probed.sampleRate, sampleRate);
    EXPECT_NEAR(probed.duration, 1.0, durationSlack);

    const auto sizes = ReadWavSizes(wav);
    EXPECT_EQ(static_cast<std::int64_t>(sizes.fileSize), result.bytesWritten);
    EXPECT_EQ(sizes.riffSize, sizes.fileSize - 8);
    EXPECT_EQ(sizes.dataSize, sizes.fileSize - sizes.dataOffset);
    EXPECT_EQ(sizes.dataSize % (2 * channels), 0u);
    EXPECT_EQ(sizes.formatTag, channels > 2 ? 0xFFFE : 0x0001);
    EXPECT_EQ(result.channels, channels);
    EXPECT_EQ(result.sampleRate, sampleRate);
}

TEST_P(DecodeFormats, WritesCompleteWavOfTheSourceFormat) {
    const auto& format = GetParam();
    const auto source = folder / "source.mkv";
    MakeSample(format.arguments, source);

    std::vector<std::int64_t> reports;
    DecodeCallbacks callbacks;
    callbacks.progress = [&](std::int64_t bytes) { reports.push_back(bytes); };
    const auto result = DecodeAc3ToWav(source, folder.slash(), 0, DecoderSettings{}, callbacks);

    const auto wav = folder / "movie.wav";
    ExpectCompleteWav(wav, result, format.channels, format.sampleRate,
                      static_cast<double>(format.slackSamples) / format.sampleRate);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), result.bytesWritten);
}

INSTANTIATE_TEST_SUITE_P(
    Mkv, DecodeFormats,
    ::testing::Values(
        Format{"Ac3Surround", std::string(kSine48k) + " -ac 6 -c:a ac3", 6, 48000, 1536},
        Format{"DtsSurround", std::string(kSine48k) + " -ac 6 -c:a dca -strict -2", 6, 48000, 512},
        Format{"AacStereo", std::string(kSine44k) + " -ac 2 -c:a aac", 2, 44100, 2048},
        Format{"Mp3Stereo", std::string(kSine44k) + " -ac 2 -c:a libmp3lame", 2, 44100, 1152},
        Format{"VorbisStereo", std::string(kSine44k) + " -ac 2 -c:a libvorbis", 2, 44100, 1024},
        Format{"Ac3WithVideo",
               std::string(kTinyVideo) + " " + kSine48k + " -c:v mpeg4 -ac 2 -c:a ac3", 2, 48000,
               1536}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeWma, WritesTheWmvAudioAsItIs) {
    TempFolder folder{"kestrun-decoder"};
    const auto source = folder / "clip.wmv";
    MakeSample(std::string(kTinyVideo) + " " + kSine44k + " -c:v wmv2 -ac 2 -c:a wmav2", source);

    const auto result = DecodeWmaToWav(source, folder.slash(), {});

    ExpectCompleteWav(folder / "movie.wav", result, 2, 44100, 2048.0 / 44100);
}

}  // namespace
}  // namespace kestrun
