// A track that starts later or earlier than the video: where the analysis sees each track begin,
// and the decoder moving the sound into place in movie.wav.
#include <gtest/gtest.h>

#include "decoder/decode_to_wav.h"
#include "decoder/media_samples.h"
#include "media/track_starts.h"
#include "support/samples.h"
#include "support/temp_folder.h"

namespace kestrun {
namespace {

using test::CachedSample;
using test::FfmpegSample;
using test::Mkvmerge;
using test::ReadWavSizes;
using test::ReadWholeFile;
using test::TempFolder;

// One second of picture and tone; mkvmerge's IDs count from 0: "1:500" makes the audio start half
// a second late, "0:500" the video.
std::string Sample(const std::string& sync) {
    const std::string plain =
        FfmpegSample({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=1", "-f", "lavfi",
                      "-i", "sine=frequency=440:duration=1:sample_rate=48000", "-c:v", "mpeg4",
                      "-c:a", "ac3", "-ac", "2"},
                     "mkv");
    if (sync.empty()) return plain;
    return CachedSample("mkvmerge --sync " + sync + " " + plain, "mkv",
                        [&](const std::string& path) {
                            Mkvmerge({"-o", path, "--sync", sync, plain});
                        });
}

class TrackDelay : public ::testing::Test {
protected:
    TempFolder work{"kestrun-delay-work"};
};

TEST_F(TrackDelay, StartsOfTheVideoAndEachAudioTrackByTrackNumber) {
    const struct {
        const char* sample;
        std::int64_t video, audio;
    } cases[] = {{"", 0, 0}, {"1:500", 0, 500}, {"0:500", 500, 0}};
    for (const auto& c : cases) {
        const auto starts = media::ReadTrackStartsMs(Sample(c.sample));
        ASSERT_EQ(starts.size(), 2u) << c.sample;
        EXPECT_NEAR(starts.at(1), c.video, 10) << c.sample;
        EXPECT_NEAR(starts.at(2), c.audio, 10) << c.sample;
    }
    EXPECT_TRUE(media::ReadTrackStartsMs(work.Write("not.mkv", "no film")).empty());
}

TEST_F(TrackDelay, LeadPadsWithSilenceOrCutsTheBeginning) {
    const auto decode = [&](std::int64_t leadMs) {
        const auto result = DecodeAc3ToWav(Sample(""), work.slash(), 2, {}, {}, leadMs);
        EXPECT_TRUE(result.ok) << result.error;
        return static_cast<std::int64_t>(ReadWavSizes(work / "movie.wav").dataSize);
    };
    const std::int64_t bytesPerSecond = 48000 * 2 * 2;
    const std::int64_t plain = decode(0);
    EXPECT_EQ(decode(-400), plain - bytesPerSecond * 4 / 10);
    EXPECT_EQ(decode(400), plain + bytesPerSecond * 4 / 10);
    // The sine begins right after the silence (the AC-3 decoder's own first samples are near 0).
    const std::string wav = ReadWholeFile(work / "movie.wav");
    const auto dataOffset = ReadWavSizes(work / "movie.wav").dataOffset;
    EXPECT_NEAR(static_cast<double>(wav.find_first_not_of('\0', dataOffset)),
                static_cast<double>(dataOffset + bytesPerSecond * 4 / 10), bytesPerSecond / 200);
}

}  // namespace
}  // namespace kestrun
