// Sources as they come today: the analysis lists audio no format button names with its format,
// and tells the video a console decodes from what only a re-encode converts.
#include <gtest/gtest.h>

#include "analysis/read_info.h"
#include "analysis/video_playability.h"
#include "analysis_samples.h"
#include "model/context.h"
#include "support/samples.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

TEST(VideoRecodeReason, NamesWhatNoConsoleDecodes) {
    const struct {
        media::VideoStreamFacts video;
        std::string reason;
    } cases[] = {
        {{"h264", "H.264", 100, "High", 8, "4:2:0"}, ""},
        {{"h264", "H.264", 578, "Constrained Baseline", 8, "4:2:0"}, ""},
        {{"h264", "H.264", -99, "", 0, ""}, ""},  // nothing known beyond the codec
        {{"h264", "H.264", 110, "High 10", 10, "4:2:0"}, "10-bit H.264"},
        {{"h264", "H.264", 110, "High 10", 0, ""}, "10-bit H.264"},  // pictures not read
        {{"h264", "H.264", 122, "High 4:2:2", 8, "4:2:2"}, "4:2:2 H.264"},
        {{"h264", "H.264", 244, "High 4:4:4 Predictive", 0, ""}, "4:4:4 H.264"},
        {{"h264", "H.264", 118, "Multiview High", 8, "4:2:0"}, "H.264 Multiview High"},
        {{"hevc", "HEVC", 1, "Main", 8, "4:2:0"}, "HEVC"},
        {{"av1", "AV1", 0, "Main", 8, "4:2:0"}, "AV1"},
        {{"vp9", "VP9", 0, "Profile 0", 8, "4:2:0"}, "VP9"},
        {{"mpeg2video", "MPEG-2", 4, "Main", 8, "4:2:0"}, ""},
        {{"vc1", "VC-1", 3, "Advanced", 8, "4:2:0"}, ""},
        {{"mpeg4", "MPEG-4 Part 2", 15, "Advanced Simple Profile", 8, "4:2:0"}, ""},
        {{"none", "unknown", -99, "", 0, ""}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VideoRecodeReason(c.video), c.reason) << c.video.codec << " " << c.video.profile;
}

class TodaysSourcesTest : public ::testing::Test {
protected:
    // 1 s of 320x240 video encoded by `video`, with the audio tracks `audio` (each an FFmpeg
    // encoder option list for one stereo tone).
    static std::string Source(const std::vector<std::string>& video,
                              const std::vector<std::vector<std::string>>& audio) {
        std::vector<std::string> args = {
            "-f", "lavfi", "-i",   "testsrc=size=320x240:rate=25",
            "-f", "lavfi", "-i",   "sine=frequency=440:sample_rate=48000",
            "-t", "1",     "-map", "0:v"};
        for (size_t i = 0; i < audio.size(); ++i) args.insert(args.end(), {"-map", "1:a"});
        args.insert(args.end(), video.begin(), video.end());
        for (size_t i = 0; i < audio.size(); ++i)
            for (size_t j = 0; j < audio[i].size(); ++j)
                args.push_back(j % 2 == 0 ? audio[i][j] + ":" + std::to_string(i) : audio[i][j]);
        return FfmpegSample(args, "mkv");
    }

    TempFolder root{"kestrun-today"};
    std::string program = MakeStandInProgramFolder(root);
    ScriptedHost host;
    Context ctx{host, program};
    Form1& form = ctx.form;
    Analysis& analysis = ctx.analysis;
};

const std::vector<std::string> kH264 = {"-c:v",      "libx264",  "-preset",
                                        "ultrafast", "-pix_fmt", "yuv420p"};

TEST_F(TodaysSourcesTest, DecodedTracksAreListedWithTheirFormatAndNoButton) {
    const std::string source =
        Source(kH264, {{"-c:a", "ac3"}, {"-c:a", "eac3"}, {"-c:a", "flac"}, {"-c:a", "libopus"}});
    ASSERT_TRUE(ReadInfo(ctx, source));
    EXPECT_EQ(form.cmbAudio.items(),
              (std::vector<std::string>{" und", " und (E-AC-3)", " und (FLAC)", " und (Opus)"}));
    EXPECT_EQ(analysis.strAudioTracks[0].format, "0");
    for (int row : {1, 2, 3}) EXPECT_EQ(analysis.strAudioTracks[row].format, "wav") << row;
    EXPECT_EQ(analysis.audioStreams.at(3).format, "E-AC-3");
    EXPECT_EQ(analysis.strVideoRecodeReason, "");
    EXPECT_EQ(form.SelectedAudioFormat(), 0);

    // Choosing a decoded track in the list checks no button and names its track.
    form.cmbAudio.SetSelectedIndex(2);
    EXPECT_EQ(form.SelectedAudioFormat(), -1);
    EXPECT_EQ(form.txtS2.text(), "4");
    form.cmbAudio.SetSelectedIndex(0);
    EXPECT_EQ(form.SelectedAudioFormat(), 0);
    EXPECT_EQ(form.txtS2.text(), "2");
}

TEST_F(TodaysSourcesTest, UnplayableVideoTakesTheRecodeRoadWithItsReason) {
    const struct {
        std::vector<std::string> video;
        std::string reason;
    } cases[] = {
        {{"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=none"}, "HEVC"},
        {{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p10le"}, "10-bit H.264"},
        {{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv422p"}, "4:2:2 H.264"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        host.messages.clear();
        form.chkMP2.SetValue(0);
        ASSERT_TRUE(ReadInfo(ctx, Source(c.video, {{"-c:a", "ac3"}})));
        EXPECT_EQ(analysis.strVideoRecodeReason, c.reason);
        EXPECT_EQ(form.chkMP2.value(), 1);
        EXPECT_GE(form.cmdConv.selectedIndex(), 0);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text.rfind("This " + c.reason + " file is not playable", 0), 0u)
            << host.messages[0].text;
    }
    // The next source a console decodes leaves no reason behind.
    ASSERT_TRUE(ReadInfo(ctx, Source(kH264, {{"-c:a", "ac3"}})));
    EXPECT_EQ(analysis.strVideoRecodeReason, "");
}

}  // namespace
}  // namespace kestrun::test
