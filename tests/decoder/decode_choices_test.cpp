// The window's choices reach the WAV: the track number picks the track, the "AC3Filter Options"
// settings change channels and level.
#include <gtest/gtest.h>

#include <cmath>

#include "decoder/decode_to_wav.h"
#include "decoder/media_samples.h"
#include "support/temp_folder.h"

namespace kestrun {
namespace {

using test::MakeSample;
using test::ProbeAudio;
using test::ReadWavSizes;
using test::RenumberMatroskaTracks;
using test::TempFolder;
using test::WavRms;

class DecodeChoices : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder("kestrun-decoder");
        // Track 1 video, track 7 mono AC-3 at 48 kHz, track 4 stereo AAC at 44.1 kHz: numbers
        // that neither the stream index nor the file order give.
        MakeSample(
            "-f lavfi -i testsrc=size=64x48:rate=25:duration=1 "
            "-f lavfi -i sine=frequency=440:duration=1:sample_rate=48000 "
            "-f lavfi -i sine=frequency=880:duration=1:sample_rate=44100 "
            "-map 0 -map 1 -map 2 -c:v mpeg4 -c:a:0 ac3 -ac:a:0 1 -c:a:1 aac -ac:a:1 2",
            *folder_ / "two_tracks.mkv");
        RenumberMatroskaTracks(*folder_ / "two_tracks.mkv", {{2, 7}, {3, 4}});
        MakeSample("-f lavfi -i sine=frequency=440:duration=1:sample_rate=48000 -ac 6 -c:a ac3",
                   *folder_ / "surround.mkv");
        MakeSample("-f lavfi -i sine=frequency=440:duration=1:sample_rate=48000 -ac 2 -c:a ac3",
                   *folder_ / "stereo.mkv");
    }
    static void TearDownTestSuite() { delete folder_; }

    DecodeResult Decode(const std::string& sample, int trackNumber,
                        const DecoderSettings& settings = {}) {
        return DecodeAc3ToWav(*folder_ / sample, work.slash(), trackNumber, settings, {});
    }
    std::string Wav() const { return work / "movie.wav"; }

    static TempFolder* folder_;
    TempFolder work{"kestrun-decoder-work"};
};

TempFolder* DecodeChoices::folder_ = nullptr;

TEST_F(DecodeChoices, TrackNumberPicksTheTrackAndUnknownNumbersTakeTheFirst) {
    auto result = Decode("two_tracks.mkv", 4);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.channels, 2);
    EXPECT_EQ(ProbeAudio(Wav()).sampleRate, 44100);

    result = Decode("two_tracks.mkv", 7);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.channels, 1);
    EXPECT_EQ(ProbeAudio(Wav()).sampleRate, 48000);

    for (const int fallback : {0, 1, 3}) {  // none, the video track, no such track
        result = Decode("two_tracks.mkv", fallback);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.sampleRate, 48000) << "track " << fallback;
    }
}

TEST_F(DecodeChoices, SurroundKeepsItsSpeakerMask) {
    ASSERT_TRUE(Decode("surround.mkv", 0).ok);
    EXPECT_EQ(ReadWavSizes(Wav()).channelMask, 0x60Fu);  // FL FR FC LFE SL SR
    EXPECT_EQ(ProbeAudio(Wav()).channelLayout, "5.1(side)");
}

TEST_F(DecodeChoices, ChannelSettingRemixes) {
    DecoderSettings settings;
    settings.channels = OutputChannels::Stereo;
    auto result = Decode("surround.mkv", 0, settings);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(ProbeAudio(Wav()).channels, 2);
    EXPECT_EQ(ReadWavSizes(Wav()).formatTag, 0x0001);
    EXPECT_GT(WavRms(Wav()), 100.0);  // the downmix carries the sound

    settings.channels = OutputChannels::Mono;
    ASSERT_TRUE(Decode("surround.mkv", 0, settings).ok);
    EXPECT_EQ(ProbeAudio(Wav()).channels, 1);

    settings.channels = OutputChannels::Surround51;
    ASSERT_TRUE(Decode("stereo.mkv", 0, settings).ok);
    EXPECT_EQ(ProbeAudio(Wav()).channels, 6);
    EXPECT_EQ(ReadWavSizes(Wav()).channelMask, 0x60Fu);
}

TEST_F(DecodeChoices, GainScalesTheLevel) {
    ASSERT_TRUE(Decode("stereo.mkv", 0).ok);
    const double plain = WavRms(Wav());
    DecoderSettings settings;
    settings.gainDb = -6.0;
    ASSERT_TRUE(Decode("stereo.mkv", 0, settings).ok);
    EXPECT_NEAR(WavRms(Wav()) / plain, std::pow(10.0, -6.0 / 20.0), 0.01);
}

}  // namespace
}  // namespace kestrun
