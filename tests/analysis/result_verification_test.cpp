// The verdict on a written result from its facts: frame counts of copied video, durations summed
// over pieces and shortened by the 25 fps speed-up; and the clips an AVCHD playlist names.
#include "analysis/result_verification.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/bdmv_playlist.h"

namespace kestrun {
namespace {

// An MP4 piece with H.264 that plays everywhere and stereo AAC LC, of that length.
MediaFacts Piece(const std::string& path, double seconds, double fps,
                 std::optional<int64_t> frames) {
    MediaFacts f;
    f.path = path;
    f.container = Container::Mp4;
    f.fileSize = 1 << 20;
    VideoFacts v;
    v.codec = VideoCodec::H264;
    v.width = 1280, v.height = 720, v.fps = fps, v.seconds = seconds, v.frames = frames;
    v.h264 = H264Facts{100, "High", 41, "4.1", 3600, 4};
    f.video = v;
    AudioFacts a;
    a.codec = AudioCodec::Aac, a.channels = 2, a.aacLowComplexity = true, a.seconds = seconds;
    f.audio.push_back(a);
    return f;
}

struct Case {
    const char* name;
    double seconds, fps;  // of the written result
    std::optional<int64_t> frames;
    bool videoCopied, fps25;  // fps25: the window's 25 fps option was on
    const char* rule;
    std::optional<RuleStatus> status;  // nothing: the rule is not judged
    const char* measured;
};

TEST(ResultVerification, FramesAndDurationsAgainstTheSource) {
    const MediaFacts film = Piece("Film.mkv", 100.1, 23.976, 2400);
    const Case cases[] = {
        {"every frame copied", 100.1, 23.976, 2400, true, false, "video frames", RuleStatus::Pass,
         "2400, source 2400"},
        {"a frame lost", 100.1, 23.976, 2399, true, false, "video frames", RuleStatus::Fail,
         "2399, source 2400"},
        {"count not in the headers", 100.1, 23.976, std::nullopt, true, false, "video frames",
         RuleStatus::Unknown, "result's count not in the headers"},
        {"re-encoded", 100.1, 23.976, 2401, false, false, "video frames", std::nullopt, ""},
        {"sped up to 25 fps", 96.0, 25.0, 2400, true, true, "video duration", RuleStatus::Pass,
         "96.00 s, source 100.10 s, 96.00 s at 25 fps"},
        {"25 fps without the option", 96.0, 25.0, 2400, true, false, "video duration",
         RuleStatus::Fail, "96.00 s, source 100.10 s"},
    };
    for (const Case& c : cases) {
        WrittenResult written;
        written.pieces = {Piece("a.mp4", c.seconds, c.fps, c.frames)};
        const Verification v =
            VerifyResult(written, ResultSource{film, 0, c.videoCopied, c.fps25}, Console::Ps3);
        const auto rule = std::find_if(v.results.begin(), v.results.end(),
                                       [&c](const RuleResult& r) { return r.rule == c.rule; });
        if (!c.status) {
            EXPECT_EQ(rule, v.results.end()) << c.name;
            continue;
        }
        ASSERT_NE(rule, v.results.end()) << c.name;
        EXPECT_EQ(rule->status, *c.status) << c.name << ": " << rule->measured;
        EXPECT_EQ(rule->measured, c.measured) << c.name;
        EXPECT_EQ(v.plays, *c.status != RuleStatus::Fail) << c.name;
    }
}

// What a result must keep of its source: each kind of stream, its length within one frame per
// second of film (at most a second), and a 50 fps film never slowed to 25 fps.
TEST(ResultVerification, StreamsAndLengthsTheResultMustKeep) {
    const struct {
        const char* name;
        double sourceSeconds, sourceFps;
        bool resultVideo, resultAudio, audioKept, fps25;
        double resultSeconds, resultFps;
        const char* rule;
        RuleStatus status;
        const char* measured;
    } cases[] = {
        {"both kept", 100.1, 23.976, true, true, true, false, 100.1, 23.976, "streams",
         RuleStatus::Pass, "video and audio"},
        {"video lost", 100.1, 23.976, false, true, true, false, 100.1, 23.976, "streams",
         RuleStatus::Fail, "no video (the source has video and audio)"},
        {"sound lost", 100.1, 23.976, true, false, true, false, 100.1, 23.976, "streams",
         RuleStatus::Fail, "no audio (the source has video and audio)"},
        {"sound not kept", 100.1, 23.976, true, false, false, false, 100.1, 23.976, "streams",
         RuleStatus::Pass, "video"},
        {"long film 0.8 s off", 100.1, 23.976, true, true, true, false, 100.9, 23.976,
         "video duration", RuleStatus::Pass, "100.90 s, source 100.10 s"},
        {"short film forced to one rate", 2.82, 35.5, true, true, true, false, 2.0, 50.0,
         "video duration", RuleStatus::Fail, "2.00 s, source 2.82 s"},
        {"short film a frame off", 2.82, 35.5, true, true, true, false, 2.86, 35.5,
         "video duration", RuleStatus::Pass, "2.86 s, source 2.82 s"},
        {"50 fps slowed to 25 fps", 2.0, 50.0, true, true, true, true, 4.0, 25.0, "video duration",
         RuleStatus::Fail, "4.00 s, source 2.00 s"},
    };
    for (const auto& c : cases) {
        MediaFacts film = Piece("Film.mkv", c.sourceSeconds, c.sourceFps, std::nullopt);
        MediaFacts piece = Piece("a.mp4", c.resultSeconds, c.resultFps, std::nullopt);
        if (!c.resultVideo) piece.video.reset();
        if (!c.resultAudio) piece.audio.clear();
        WrittenResult written;
        written.pieces = {piece};
        const Verification v =
            VerifyResult(written, ResultSource{film, 0, false, c.fps25, c.audioKept}, Console::Ps3);
        const auto rule = std::find_if(v.results.begin(), v.results.end(),
                                       [&c](const RuleResult& r) { return r.rule == c.rule; });
        ASSERT_NE(rule, v.results.end()) << c.name;
        EXPECT_EQ(rule->status, c.status) << c.name << ": " << rule->measured;
        EXPECT_EQ(rule->measured, c.measured) << c.name;
        if (c.status == RuleStatus::Fail) {
            EXPECT_FALSE(v.plays) << c.name;
        }
    }
}

// A playlist as the writers lay it out: the play list's address at byte 8, its header, then one
// play item per clip (a length, the clip's five digits, "M2TS", the rest).
std::string Playlist(const std::vector<std::string>& clips) {
    std::string bytes = "MPLS0200";
    bytes += std::string("\0\0\0\x28", 4) + std::string(28, '\0');
    bytes += std::string(4, '\0') + std::string(2, '\0');
    bytes += {'\0', static_cast<char>(clips.size()), '\0', '\0'};
    for (const std::string& clip : clips)
        bytes += std::string("\0\x12", 2) + clip + "M2TS" + std::string(9, '\0');
    return bytes;
}

TEST(PlaylistClips, ThePlayItemsNameTheClips) {
    const std::string two = Playlist({"00000", "00001"});
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> clips;
        const char* error;
    } cases[] = {
        {"two clips", two, {"00000", "00001"}, ""},
        {"not a playlist", "HDMV0200", {}, "no MPLS header"},
        {"cut short", two.substr(0, two.size() - 10), {}, "play item 2 lies past the end"},
        {"no clip name", Playlist({"../.."}), {}, "play item 1 names no clip"},
        {"no play item", Playlist({}), {}, "no play item"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto clips = PlaylistClips(c.bytes, &error);
        EXPECT_EQ(clips.value_or(std::vector<std::string>{}), c.clips) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

}  // namespace
}  // namespace kestrun
