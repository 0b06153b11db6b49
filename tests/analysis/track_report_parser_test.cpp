// ParseMkvInfo's passes over reports in the legacy mkvinfo layout.
#include "analysis/track_report_parser.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "legacy_report.h"
#include "model/context.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

class TrackReportParserTest : public ::testing::Test {
protected:
    TempFolder prog{"kestrun-parser"};
    ScriptedHost host;
    Context ctx{host, prog.path().string()};
    Form1& form = ctx.form;
    Analysis& analysis = ctx.analysis;
    std::vector<std::string> logged;

    void Parse(const std::string& report) {
        logged.clear();
        ParseTrackReport(SplitReportLines(report), analysis, form,
                         [this](const std::string& line) { logged.push_back(line); });
    }
    bool Logged(const std::string& line) const {
        return std::find(logged.begin(), logged.end(), line) != logged.end();
    }
};

// A real report of a file written by mkvmerge 2.0.2, audio before video.
const char* kRealReport = R"(+ EBML head
|+ Doc type: matroska
+ Segment, size 1153738746
|+ Segment tracks
| + A track
|  + Track number: 1
|  + Track UID: 1851004858
|  + Track type: audio
|  + Enabled: 1
|  + Codec ID: A_AC3
|  + Codec decode all: 1
|  + Default duration: 32.000ms (31.250 fps for a video track)
|  + Language: und
|  + Audio track
|   + Sampling frequency: 48000.000000
|   + Channels: 6
| + A track
|  + Track number: 2
|  + Track UID: 1
|  + Track type: video
|  + Codec ID: V_MPEG4/ISO/AVC
|  + Codec decode all: 1
|  + CodecPrivate, length 39
|  + Default duration: 41.708ms (23.976 fps for a video track)
|  + Language: eng
|  + Video track
|   + Pixel width: 1280
|   + Pixel height: 720
|   + Interlaced: 0
|   + Display width: 16
|   + Display height: 9
|+ EbmlVoid (size: 1024)
|+ Cluster
)";

TEST_F(TrackReportParserTest, RealReportFillsTheVideoAudioAndWindowFields) {
    form.chkSubs.visible = form.cmbSubs.visible = form.lblSubs.visible = true;
    Parse(kRealReport);
    EXPECT_EQ(analysis.strVideoCodec, "avc");
    EXPECT_FALSE(analysis.bVfwMode);
    EXPECT_EQ(form.txtS1.text(), "2");
    EXPECT_EQ(form.txtSFPS.text(), "23.976");
    EXPECT_EQ(analysis.intPixelWidth, 1280);
    EXPECT_EQ(analysis.intPixelHeight, 720);
    EXPECT_EQ(analysis.strParOpt, "");  // a display width of 16 is smaller than 1280
    EXPECT_EQ(analysis.strAudioTracks[0].language, " und");
    EXPECT_EQ(analysis.strAudioTracks[0].format, "0");
    EXPECT_EQ(analysis.strAudioTracks[0].track, "1");
    EXPECT_EQ(form.cmbAudio.items(), std::vector<std::string>{" und"});
    EXPECT_EQ(form.cmbAudio.selectedIndex(), 0);
    EXPECT_EQ(form.SelectedAudioFormat(), 0);
    EXPECT_EQ(form.txtS2.text(), "1");
    EXPECT_FALSE(form.chkSubs.visible);
    EXPECT_FALSE(form.cmbSubs.visible);
    EXPECT_FALSE(form.lblSubs.visible);
    // The log holds the report itself and the analysis lines.
    EXPECT_EQ(logged.front(), "+ EBML head");
    EXPECT_TRUE(Logged("|   + Display width: 16"));
    EXPECT_TRUE(Logged("AVC mkv"));
    EXPECT_TRUE(Logged("Video found on track 2"));
    EXPECT_TRUE(Logged("Video info: Pixel resolution: 1280x720. Display resolution adaptation: "));
}

TEST_F(TrackReportParserTest, WiderDisplaySetsTheParAndAspectOptions) {
    Parse(LegacyReport(
        {VideoTrack(1, "V_MPEG4/ISO/AVC", 1440, 1080, 1920), AudioTrack(2, "A_AC3", "eng")}));
    EXPECT_EQ(analysis.strParOpt, ":par=1920:1440");
    EXPECT_EQ(analysis.strAspectOpt, " -aspect 1.3333333 ");
    EXPECT_TRUE(
        Logged("Video info: Pixel resolution: 1440x1080. Display resolution adaptation: "
               ":par=1920:1440"));

    Parse(LegacyReport({VideoTrack(1, "V_MPEG4/ISO/AVC", 1280, 720, 1920)}));
    EXPECT_EQ(analysis.strAspectOpt, " -aspect 1.5 ");

    Parse(LegacyReport({VideoTrack(1, "V_MPEG4/ISO/AVC", 1920, 1080, 1920)}));
    EXPECT_EQ(analysis.strParOpt, "");
    EXPECT_EQ(analysis.strAspectOpt, "");
}

TEST_F(TrackReportParserTest, SecondVideoTrackChangesNothing) {
    Parse(LegacyReport(
        {VideoTrack(1, "V_MPEG4/ISO/AVC", 1280, 720, 1280),
         VideoTrack(2, "V_MPEG4/ISO/AVC", 640, 480, 854, DurationLine("40.000", "25.000")),
         AudioTrack(3, "A_DTS", "ger")}));
    EXPECT_EQ(form.txtS1.text(), "1");
    EXPECT_EQ(form.txtSFPS.text(), "23.976");
    EXPECT_EQ(analysis.intPixelWidth, 1280);
    EXPECT_EQ(analysis.strParOpt, "");
    EXPECT_EQ(analysis.strAudioTracks[0].track, "3");
}

// The first video track decides the codec, as it is the one extracted; the others are named.
TEST_F(TrackReportParserTest, TheFirstVideoTrackDecidesTheCodec) {
    std::string vc1 = VideoTrack(1, "V_MS/VFW/FOURCC", 1920, 1080, 1920);
    vc1.replace(vc1.find("CodecPrivate, length 39"), 23,
                "CodecPrivate, length 76 (FourCC: WVC1, 0x31435657)");
    std::string vc1Second = vc1;
    vc1Second.replace(vc1Second.find("Track number: 1"), 15, "Track number: 3");
    const struct {
        const char* name;
        std::vector<std::string> tracks;
        const char* codec;
        bool vfw;
        const char* leftOut;
    } cases[] = {
        {"H.264 then MPEG-2",
         {VideoTrack(1, "V_MPEG4/ISO/AVC", 320, 240, 320), AudioTrack(2, "A_AC3", "eng"),
          VideoTrack(3, "V_MPEG2", 720, 576, 1024)},
         "avc",
         false,
         "track 3 (V_MPEG2)"},
        {"MPEG-2 then H.264",
         {VideoTrack(1, "V_MPEG2", 720, 576, 1024), AudioTrack(2, "A_AC3", "eng"),
          VideoTrack(3, "V_MPEG4/ISO/AVC", 320, 240, 320)},
         "mpeg2",
         false,
         "track 3 (V_MPEG4/ISO/AVC)"},
        {"H.264 then VC-1 in VFW mode",
         {VideoTrack(1, "V_MPEG4/ISO/AVC", 320, 240, 320), AudioTrack(2, "A_AC3", "eng"),
          vc1Second},
         "avc",
         false,
         "track 3 (V_MS/VFW/FOURCC)"},
        {"VC-1 then H.264",
         {vc1, VideoTrack(2, "V_MPEG4/ISO/AVC", 320, 240, 320), AudioTrack(3, "A_AC3", "eng")},
         "vc1",
         true,
         "track 2 (V_MPEG4/ISO/AVC)"},
        {"one video track",
         {AudioTrack(1, "A_AC3", "eng"), VideoTrack(2, "V_MPEG4/ISO/AVC", 320, 240, 320)},
         "avc",
         false,
         ""},
    };
    for (const auto& c : cases) {
        Parse(LegacyReport(c.tracks));
        EXPECT_EQ(analysis.strVideoCodec, c.codec) << c.name;
        EXPECT_EQ(analysis.bVfwMode, c.vfw) << c.name;
        EXPECT_EQ(analysis.strLeftOutVideoTracks, c.leftOut) << c.name;
    }
}

TEST_F(TrackReportParserTest, FrameRateOfDurationsWithOtherThanTwoIntegerDigits) {
    // The fixed cut fits two digits before the decimal point.
    EXPECT_EQ(FrameRateText("|  + Default duration: 41.708ms (23.976 fps for a video track)"),
              "23.976");
    EXPECT_EQ(FrameRateText("|  + Default duration: 100.000ms (10.000 fps for a video track)"),
              "10.000");
    EXPECT_EQ(FrameRateText("|  + Default duration: 8.333ms (120.005 fps for a video track)"),
              "120.005");
    EXPECT_EQ(FrameRateText("|  + Default duration: 1001.000ms (0.999 fps for a video track)"),
              "0.999");
    Parse(LegacyReport(
        {VideoTrack(1, "V_MPEG4/ISO/AVC", 320, 240, 320, DurationLine("200.000", "5.000"))}));
    EXPECT_EQ(form.txtSFPS.text(), "5.000");
}

TEST_F(TrackReportParserTest, AudioCodecsSelectTheirFormatAndAllButAc3DisableSafeSync) {
    const std::vector<std::pair<std::string, int>> codecs = {
        {"A_AC3", 0},     {"A_DTS", 1}, {"A_VORBIS", 2},
        {"A_MPEG/L3", 3}, {"A_AAC", 4}, {"A_AAC/MPEG4/LC/SBR", 4},
        {"A_MPEG/L2", 5}};
    for (const auto& [codec, index] : codecs) {
        form.chkFF.enabled = true;
        Parse(LegacyReport(
            {VideoTrack(1, "V_MPEG4/ISO/AVC", 320, 240, 320), AudioTrack(2, codec, "fre")}));
        EXPECT_EQ(form.SelectedAudioFormat(), index) << codec;
        EXPECT_EQ(analysis.strAudioTracks[0].format, std::to_string(index)) << codec;
        EXPECT_EQ(form.txtS2.text(), "2") << codec;
        EXPECT_EQ(form.chkFF.enabled, index == 0) << codec;
    }
}

TEST_F(TrackReportParserTest, UnknownAudioCodecInheritsThePreviousTracksFormat) {
    Parse(LegacyReport({AudioTrack(1, "A_PCM/INT/LIT", "eng"), AudioTrack(2, "A_DTS", "ger"),
                        AudioTrack(3, "A_FLAC", "jpn")}));
    ASSERT_EQ(form.cmbAudio.ListCount(), 3);
    EXPECT_EQ(analysis.strAudioTracks[0].format, "");
    EXPECT_EQ(analysis.strAudioTracks[1].format, "1");
    EXPECT_EQ(analysis.strAudioTracks[2].format, "1");
    EXPECT_EQ(analysis.strAudioTracks[2].track, "3");
    // The first row has no format: no format is selected, rather than another track's (which
    // would convert the PCM track as DTS); the track number comes from the first row.
    EXPECT_EQ(form.SelectedAudioFormat(), -1);
    EXPECT_EQ(form.txtS2.text(), "1");
}

// The track with its "Default flag" line set to `flag`, or without one for -1.
std::string Flagged(std::string track, int flag) {
    const std::string line = "|  + Default flag: 1\n";
    return track.replace(track.find(line), line.size(),
                         flag < 0 ? "" : "|  + Default flag: " + std::to_string(flag) + "\n");
}

TEST_F(TrackReportParserTest, TheOneTrackFlaggedDefaultIsChosenAsAClickWould) {
    const struct {
        std::vector<int> flags;  // per audio track: -1 no flag line, 0, 1
        int row;
        std::string track;
        int format;
    } rows[] = {
        {{-1, -1, -1}, 0, "2", 0}, {{0, 1, 0}, 1, "3", 4}, {{-1, -1, 1}, 2, "4", 1},
        {{1, 0, 1}, 0, "2", 0},  // several flagged: the first, as without flags
        {{1, 1, 1}, 0, "2", 0},    {{1, 0, 0}, 0, "2", 0},
    };
    const std::pair<const char*, const char*> audio[] = {
        {"A_AC3", "fre"}, {"A_AAC", "eng"}, {"A_DTS", "ger"}};
    for (const auto& row : rows) {
        std::vector<std::string> tracks = {VideoTrack(1, "V_MPEG4/ISO/AVC", 320, 240, 320)};
        for (int i = 0; i < 3; ++i) {
            tracks.push_back(
                Flagged(AudioTrack(i + 2, audio[i].first, audio[i].second), row.flags[i]));
        }
        Parse(LegacyReport(tracks));
        SCOPED_TRACE(row.track);
        EXPECT_EQ(form.cmbAudio.selectedIndex(), row.row);
        EXPECT_EQ(form.txtS2.text(), row.track);
        EXPECT_EQ(form.SelectedAudioFormat(), row.format);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(analysis.strAudioTracks[i].isDefault, row.flags[i] == 1);
    }
}

// Text and picture tracks in report order, pictures named with their kind; other codecs are
// left out.
TEST_F(TrackReportParserTest, SubtitlesAreListedWithOrdinalsAndPicturesWithTheirKind) {
    const std::string forced = "|  + Forced flag: 1\n|  + Codec ID";
    std::string pgs = SubtitleTrack(7, "S_HDMV/PGS", "jpn");
    pgs.replace(pgs.find("|  + Codec ID"), 13, forced);
    Parse(LegacyReport(
        {VideoTrack(1, "V_MPEG4/ISO/AVC", 320, 240, 320), AudioTrack(2, "A_AC3", "eng"),
         SubtitleTrack(3, "S_VOBSUB", "eng"), SubtitleTrack(4, "S_TEXT/UTF8", "und"),
         SubtitleTrack(5, "S_TEXT/ASS", "ger"), SubtitleTrack(6, "S_TEXT/SSA", "fre"), pgs,
         SubtitleTrack(8, "S_KATE", "ita")}));
    EXPECT_EQ(form.cmbSubs.items(),
              (std::vector<std::string>{"eng (VobSub)", "undefined", "ger", "fre", "jpn (PGS)"}));
    const struct {
        std::string format, track, codec;
        bool isDefault, isForced;
    } rows[] = {{"idx", "3", "S_VOBSUB", true, false},
                {"srt", "4", "S_TEXT/UTF8", true, false},
                {"ASS", "5", "S_TEXT/ASS", true, false},
                {"SSA", "6", "S_TEXT/SSA", true, false},
                {"sup", "7", "S_HDMV/PGS", true, true}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].track);
        const TrackRow& row = analysis.strSubTracks[i];
        EXPECT_EQ(row.format, rows[i].format);
        EXPECT_EQ(row.track, rows[i].track);
        EXPECT_EQ(row.codecId, rows[i].codec);
        EXPECT_EQ(row.isDefault, rows[i].isDefault);
        EXPECT_EQ(row.isForced, rows[i].isForced);
    }
    EXPECT_TRUE(form.cmbSubs.visible);
    EXPECT_TRUE(form.chkSubs.visible);
    EXPECT_EQ(form.chkSubs.value(), 0);
    EXPECT_TRUE(form.lblSubs.visible);
    EXPECT_EQ(form.cmbSubs.selectedIndex(), 0);
}

// The VOB repack takes the chosen audio track: an MPEG-2 source lists its tracks as any other
// does, and none of the source before it.
TEST_F(TrackReportParserTest, Mpeg2SourcesListTheirOwnTracksOnly) {
    Parse(LegacyReport({VideoTrack(1, "V_MPEG4/ISO/AVC", 320, 240, 320),
                        AudioTrack(2, "A_DTS", "eng"), AudioTrack(3, "A_AAC", "ger"),
                        SubtitleTrack(4, "S_TEXT/UTF8", "eng"), SubtitleTrack(5, "S_SSA", "ger")}));
    Parse(LegacyReport({VideoTrack(1, "V_MPEG2", 720, 576, 1024), AudioTrack(2, "A_AC3", "eng"),
                        AudioTrack(3, "A_AAC", "fre"), SubtitleTrack(4, "S_TEXT/UTF8", "eng")}));
    EXPECT_EQ(analysis.strVideoCodec, "mpeg2");
    EXPECT_TRUE(Logged("mpeg2 mkv"));
    EXPECT_EQ(form.txtS1.text(), "1");
    ASSERT_EQ(form.cmbAudio.ListCount(), 2);
    EXPECT_EQ(analysis.strAudioTracks[1].track, "3");
    EXPECT_EQ(analysis.strAudioTracks[2].track, "");
    EXPECT_EQ(form.txtS2.text(), "2");
    EXPECT_EQ(form.SelectedAudioFormat(), 0);
    EXPECT_EQ(form.cmbSubs.ListCount(), 1);
    EXPECT_EQ(analysis.strSubTracks[1].track, "");
    EXPECT_TRUE(analysis.strSourceRefusal.empty());
}

// A report with tracks but no video (a soundtrack) is refused with that reason and shows no
// video track or rate; an empty report (no file read) is left to the read's own message.
TEST_F(TrackReportParserTest, NoVideoTrackIsTheSourcesRefusal) {
    Parse(LegacyReport({AudioTrack(1, "A_AC3", "eng"), AudioTrack(2, "A_AAC", "ger")}));
    EXPECT_EQ(analysis.strSourceRefusal, "it holds no video track");
    EXPECT_EQ(form.txtS1.text(), "");
    EXPECT_EQ(form.txtSFPS.text(), "");
    EXPECT_EQ(form.cmbAudio.ListCount(), 2);
    Parse("");
    EXPECT_TRUE(analysis.strSourceRefusal.empty());
}

// A VFW-mode track is read like any other: the MP4 chain needs its rate and the audio beside it.
TEST_F(TrackReportParserTest, VfwSourcesReadTheirTracks) {
    std::string xvid = VideoTrack(2, "V_MS/VFW/FOURCC", 640, 480, 640);
    xvid.replace(xvid.find("CodecPrivate, length 39"), 23,
                 "CodecPrivate, length 40 (FourCC: XVID, 0x44495658)");
    form.txtS1.SetText("7");
    Parse(LegacyReport({AudioTrack(1, "A_MPEG/L3", "eng"), xvid}));
    EXPECT_TRUE(analysis.bVfwMode);
    EXPECT_EQ(analysis.strVideoCodec, "");
    EXPECT_EQ(form.txtS1.text(), "2");
    EXPECT_EQ(form.txtSFPS.text(), "23.976");
    EXPECT_TRUE(Logged("Embedded VFW/FOURCC file in mkv"));
    ASSERT_EQ(form.cmbAudio.ListCount(), 1);
    EXPECT_EQ(form.SelectedAudioFormat(), 3);
    EXPECT_EQ(form.txtS2.text(), "1");
}

TEST_F(TrackReportParserTest, Vc1InVfwModeReadsItsTracks) {
    std::string vc1 = VideoTrack(1, "V_MS/VFW/FOURCC", 1920, 1080, 1920);
    vc1.replace(vc1.find("CodecPrivate, length 39"), 23,
                "CodecPrivate, length 76 (FourCC: WVC1, 0x31435657)");
    Parse(LegacyReport({vc1, AudioTrack(2, "A_AC3", "eng")}));
    EXPECT_TRUE(analysis.bVfwMode);
    EXPECT_EQ(analysis.strVideoCodec, "vc1");
    EXPECT_TRUE(Logged("VC1 mkv"));
    EXPECT_EQ(form.txtS1.text(), "1");
    EXPECT_EQ(form.cmbAudio.ListCount(), 1);
}

TEST_F(TrackReportParserTest, FortyAudioTracksKeepThirtyThreeRows) {
    std::vector<std::string> tracks = {VideoTrack(1, "V_MPEG4/ISO/AVC", 320, 240, 320)};
    for (int n = 2; n <= 41; ++n) tracks.push_back(AudioTrack(n, "A_AAC", "eng"));
    Parse(LegacyReport(tracks));
    EXPECT_EQ(form.cmbAudio.ListCount(), kTrackTableRows);
    EXPECT_EQ(analysis.strAudioTracks[32].track, "34");
    EXPECT_EQ(form.txtS2.text(), "2");
}

TEST_F(TrackReportParserTest, EachParseResetsFlagsButKeepsTheOldPixelSize) {
    Parse(LegacyReport({VideoTrack(1, "V_MPEG4/ISO/AVC", 1440, 1080, 1920)}));
    ASSERT_FALSE(analysis.strParOpt.empty());
    Parse(LegacyReport({AudioTrack(1, "A_AC3", "eng")}));
    EXPECT_EQ(analysis.strVideoCodec, "");
    EXPECT_EQ(analysis.strParOpt, "");
    EXPECT_EQ(analysis.strAspectOpt, "");
    EXPECT_EQ(analysis.intPixelWidth, 1440);
}

TEST_F(TrackReportParserTest, RateAndSizeTheReportDoesNotKnowAreShownAsUnknown) {
    Parse(LegacyReport({VideoTrack(1, "V_MPEG4/ISO/AVC", 1440, 1080, 1920)}));
    std::string track =
        VideoTrack(1, "V_MPEG4/ISO/AVC", 0, 0, 0,
                   "|  + Default duration: unknown (unknown fps for a video track)\n");
    for (size_t at; (at = track.find(": 0\n")) != std::string::npos;)
        track.replace(at, 4, ": unknown\n");
    Parse(LegacyReport({track}));
    EXPECT_EQ(form.txtSFPS.text(), "unknown");
    EXPECT_EQ(analysis.intPixelWidth, 0);
    EXPECT_EQ(analysis.intPixelHeight, 0);
    EXPECT_EQ(analysis.strParOpt, "");
    EXPECT_TRUE(
        Logged("Video info: Pixel resolution: unknownxunknown. Display resolution "
               "adaptation: "));
}

// Reports that end inside a video track, that are empty, or that hold CR LF line ends.
TEST_F(TrackReportParserTest, ShortEmptyAndCrLfReportsParseWithoutHarm) {
    std::string cut = LegacyReport({VideoTrack(1, "V_MPEG4/ISO/AVC", 1280, 720, 1920)});
    cut.resize(cut.find("|   + Pixel height"));
    Parse(cut);
    EXPECT_EQ(analysis.intPixelWidth, 1280);
    EXPECT_EQ(form.txtSFPS.text(), "23.976");
    EXPECT_EQ(analysis.strParOpt, "");

    Parse("");
    EXPECT_EQ(form.cmbAudio.ListCount(), 0);
    EXPECT_FALSE(form.cmbSubs.visible);

    std::string crlf = LegacyReport(
        {VideoTrack(1, "V_MPEG4/ISO/AVC", 1440, 1080, 1920), AudioTrack(2, "A_AC3", "ger")});
    for (size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.insert(at, "\r");
    Parse(crlf);
    EXPECT_EQ(analysis.strParOpt, ":par=1920:1440");
    EXPECT_EQ(analysis.strAudioTracks[0].language, " ger");
}

TEST_F(TrackReportParserTest, ParseMkvInfoLogsToDebugLogAndDeletesTheReport) {
    const std::string report = prog.Write("info.txt", kRealReport);
    ParseMkvInfo(ctx);
    EXPECT_FALSE(std::filesystem::exists(report));
    const std::string log = ReadWholeFile(prog / "debug.log");
    EXPECT_EQ(log.rfind("+ EBML head\n", 0), 0u);
    EXPECT_NE(log.find("AVC mkv\nVideo found on track 2\n"), std::string::npos);
    EXPECT_EQ(form.txtS1.text(), "2");

    // Without a report the lists end up empty and nothing fails.
    ParseMkvInfo(ctx);
    EXPECT_EQ(form.cmbAudio.ListCount(), 0);
    EXPECT_EQ(analysis.strVideoCodec, "");
}

}  // namespace
}  // namespace kestrun::test
