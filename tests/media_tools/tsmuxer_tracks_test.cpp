// TS/tsmuxer: a meta line's track= is the Matroska TrackNumber, whatever the tracks' order.
#include <gtest/gtest.h>

#include <filesystem>

#include "media_tools/media_test_support.h"
#include "media_tools/samples.h"

namespace media_test {
namespace {

struct TrackCase {
    const char* name;
    const char* lineCodec;
    int track;
    const char* audioCodec;
    int channels;
};

class TsMuxerTracksTest : public ::testing::TestWithParam<TrackCase> {};

// The renumbered file's numbers 9, 5 and 7 are its IDs 2, 4 and 0: a stream taken by position or
// by "number - 1" would be the wrong one (or none).
TEST_P(TsMuxerTracksTest, TakesTheTrackOfThatNumber) {
    const std::string source = RenumberedMkv();
    const std::string out = WorkFolder() / (std::string("tsmux_tracks_") + GetParam().name);
    std::filesystem::create_directory(out);
    WriteText(out + "/movie.meta",
              "MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr\r\n"
              "V_MPEG4/ISO/AVC, \"" +
                  source + "\", track=9, level=4.1, fps=23.976\r\n" + GetParam().lineCodec +
                  ", \"" + source + "\", track=" + std::to_string(GetParam().track) + "\r\n");
    const auto result =
        RunProgram({BuiltTool("TS/tsmuxer"), out + "/movie.meta", out + "/out.m2ts"});
    if (!GetParam().audioCodec) {
        EXPECT_NE(result.exitCode, 0);
        EXPECT_NE(result.err.find("has no track 4"), std::string::npos) << result.err;
        EXPECT_FALSE(FileExists(out + "/out.m2ts"));
        return;
    }
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto video = Probe(out + "/out.m2ts", "v", true);
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(Number(video, "nb_read_frames"), kVideoFrames);
    auto audio = Probe(out + "/out.m2ts", "a");
    EXPECT_EQ(audio["codec_name"], GetParam().audioCodec);
    EXPECT_EQ(Number(audio, "channels"), GetParam().channels);
}

INSTANTIATE_TEST_SUITE_P(Numbers, TsMuxerTracksTest,
                         ::testing::Values(TrackCase{"ac3", "A_AC3", 5, "ac3", 6},
                                           TrackCase{"aac", "A_AAC", 7, "aac", 2},
                                           TrackCase{"missing", "A_AC3", 4, nullptr, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace media_test
