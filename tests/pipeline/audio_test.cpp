// The audio steps of each chain: which tools run, with which command lines, and what is left.
#include <filesystem>

#include "pipeline/stages.h"
#include "pipeline_fixture.h"
#include "platform/tool_table.h"

namespace kestrun::test {
namespace {

class Audio : public PipelineTest {
protected:
    std::string In(const std::string& name) const { return "\"" + W(name) + "\""; }
    std::string Ffmpeg() const { return T(tool::kFFmpeg); }
    std::string WavToAac(int channels) const {
        return Ffmpeg() + " -f wav -i " + In("movie.wav") + " -acodec libfaac -ac " +
               std::to_string(channels) + " -ab 224kb " + In("movie.aac");
    }
    // The decoder reads the real sample, so it succeeds.
    void UseRealSource() {
        std::filesystem::copy_file(SampleMkv(), source,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    void Mp4Audio() {
        conv = MakeConversion();
        ConvertAudioForMp4(ctx, conv);
    }
    Conversion conv;
};

TEST_F(Audio, Ac3OnPs3DecodesInProcessAndEncodesSixChannels) {
    UseRealSource();
    Prepare(0, 0);
    prog.Rules().Write("FFmpeg", "arg:-1", 100);
    Mp4Audio();
    EXPECT_EQ(Commands(), std::vector<std::string>{WavToAac(6)});
    EXPECT_FALSE(Exists("movie.wav"));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(form.txtProgress.text(), "Encoding Audio");
}

TEST_F(Audio, StereoTargetsEncodeTwoChannels) {
    UseRealSource();
    for (int platform : {1, 2}) {
        Prepare(3, platform);
        Mp4Audio();
    }
    EXPECT_EQ(Commands(), (std::vector<std::string>{WavToAac(2), WavToAac(2)}));
}

TEST_F(Audio, BackupMethodWhenTheDecoderWritesNothing) {
    struct Row {
        int format, platform;
        std::vector<std::string> tail;  // the commands after mkvextract, before the encode
    };
    const std::string valdec = T(tool::kValdec);
    const std::vector<Row> rows = {
        {1,
         1,
         {valdec + " " + In("movie.dts") + " -wav " + In("movie.wav") +
          " -spk:2 -fmt:0 -drc+ -gain:8 -drc_power:8 "}},
        {0,
         2,
         {valdec + " " + In("movie.ac3") + " -wav " + In("movie.wav") +
          " -spk:6 -fmt:0 -drc+ -gain:8 -drc_power:8 "}},
        {5, 0, {Ffmpeg() + " -i \"" + W("movie.mp2") + " \" -acodec pcm_s16le " + In("movie.wav")}},
        {4, 1, {T(tool::kFaad) + " -d " + In("movie.aac") + " -o " + In("movie.wav")}},
    };
    const char* ext[] = {"ac3", "dts", "ogg", "mp3", "aac", "mp2"};
    for (const Row& row : rows) {
        SCOPED_TRACE(ext[row.format]);
        work.Write(std::string("movie.") + ext[row.format], "x");  // left by mkvextract
        const size_t before = Commands().size();
        Prepare(row.format, row.platform);
        Mp4Audio();
        std::vector<std::string> run(Commands().begin() + before, Commands().end());
        ASSERT_EQ(run.size(), 3u);
        EXPECT_EQ(run[0], T(tool::kMkvExtract) + " tracks \"" + source +
                              "\" 2:" + In(std::string("movie.") + ext[row.format]));
        EXPECT_EQ(run[1], row.tail[0]);
        EXPECT_EQ(run[2], WavToAac(row.platform == 0 ? 6 : 2));
        EXPECT_FALSE(Exists(std::string("movie.") + ext[row.format]));
    }
    EXPECT_EQ(host.messages.size(), rows.size());  // nothing wrote movie.aac
    EXPECT_EQ(host.messages[0].text, "Error during aac conversion.");
    EXPECT_EQ(host.messages[0].title, "Audio error");
}

TEST_F(Audio, VorbisIsEncodedFromTheExtractedTrackWhateverSafeSyncSays) {
    Prepare(2, 0);
    work.Write("movie.ogg", "x");
    Mp4Audio();
    EXPECT_EQ(Commands(),
              std::vector<std::string>{Ffmpeg() + " -f ogg -i " + In("movie.ogg") +
                                       " -acodec libfaac -ac 6 -ab 224kb " + In("movie.aac")});
    EXPECT_FALSE(Exists("movie.ogg"));
}

TEST_F(Audio, AacOnPs3IsMuxedAsExtracted) {
    Prepare(4, 0);
    work.Write("movie.aac", "aac");
    Mp4Audio();
    EXPECT_TRUE(Commands().empty());
    EXPECT_TRUE(Exists("movie.aac"));
}

// A re-encode extracts nothing before it, so the tracks muxed as stored are taken out here.
TEST_F(Audio, AfterAnH264ReencodeTheStoredTrackIsExtractedForTheMux) {
    for (const int format : {4, 2}) {  // AAC kept as it is, Vorbis encoded from the track
        const std::string file = format == 4 ? "movie.aac" : "movie.ogg";
        SCOPED_TRACE(file);
        const size_t before = Commands().size();
        Prepare(format, 0);
        conv = MakeConversion();
        conv.h264Recode = true;
        ConvertAudioForMp4(ctx, conv);
        ASSERT_GT(Commands().size(), before);
        EXPECT_EQ(Commands()[before],
                  T(tool::kMkvExtract) + " tracks \"" + source + "\" 2:" + In(file));
    }
}

TEST_F(Audio, SafeSyncWithAacNeverEncodesTheAacOntoItself) {
    form.chkFF.SetValue(1);
    Prepare(4, 0);
    work.Write("movie.aac", "aac");
    Mp4Audio();
    EXPECT_TRUE(Commands().empty());
    EXPECT_TRUE(Exists("movie.aac"));

    UseRealSource();  // on the Xbox 360 the decoded WAV is brought to stereo AAC
    Prepare(4, 1);
    Mp4Audio();
    EXPECT_EQ(Commands(), std::vector<std::string>{WavToAac(2)});
}

// Safe Sync stays ticked (and disabled) when a DTS source follows an AC-3 one; DTS is then
// decoded as without it instead of ending in the AAC error.
TEST_F(Audio, DtsWithSafeSyncIsDecodedAsWithout) {
    UseRealSource();
    form.chkFF.SetValue(1);
    Prepare(1, 0);
    bool decoded = false;
    form.txtProgress.onChange = [&](const Control& c) {
        decoded = decoded || c.text().find(" Bytes WAV written") != std::string::npos;
    };
    prog.Rules().Write("FFmpeg", "arg:-1", 100);
    Mp4Audio();
    EXPECT_TRUE(decoded);
    EXPECT_EQ(Commands(), std::vector<std::string>{WavToAac(6)});
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Audio, TwentyFiveFpsChangesTheTempoOfTheAudioThatIsMuxed) {
    UseRealSource();
    Prepare(0, 0);
    form.chk25.SetValue(1);
    prog.Rules().Write("soundstretch", "arg:2", 100).Write("BeSweet", "arg:6", 100);
    Mp4Audio();
    ASSERT_EQ(Commands().size(), 3u);
    EXPECT_EQ(Commands()[0], T(tool::kSoundStretch) + " " + In("movie.wav") + " " +
                                 In("movie2.wav") + " -pitch=-1 ");
    EXPECT_EQ(Commands()[1], T(tool::kBeSweet) + " -core( -input " + In("movie2.wav") +
                                 " -2ch -output " + In("movie.wav") + " ) -ota( -r 23976 25000 ) ");
    EXPECT_EQ(Commands()[2], WavToAac(6));
    EXPECT_EQ(conv.fps, "25.000");
    EXPECT_FALSE(Exists("movie2.wav"));
}

TEST_F(Audio, TwentyFiveFpsIsSkippedWhereTheMuxedAudioIsNotTheWav) {
    form.chk25.SetValue(1);
    Prepare(4, 0);  // AAC as extracted
    work.Write("movie.aac", "aac");
    Mp4Audio();
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(conv.fps, "23.976");
    // Said in the progress line and the log, not kept silently.
    EXPECT_NE(ReadWholeFile(ctx.ToolPath(tool::kDebugLog))
                  .find("25 FPS output skipped: the sound cannot follow (its audio is not "
                        "decoded here, or the frame rate is unknown). The film keeps its frame "
                        "rate of 23.976"),
              std::string::npos);

    UseRealSource();
    form.txtSFPS.SetText("25.000");
    Prepare(0, 0);
    Mp4Audio();
    EXPECT_EQ(Commands(), std::vector<std::string>{WavToAac(6)});
}

TEST_F(Audio, NeroWritesTheFinalMp4AndIsCheckedThere) {
    UseRealSource();
    Prepare(0, 0);
    prog.Install("/neroAacEnc_SSE");
    Conversion c = MakeConversion();
    c.neroFound = true;
    c.neroPath = ctx.ToolPath("/neroAacEnc_SSE");
    prog.Rules().Write("neroAacEnc_SSE", "arg:-1", 300);
    ConvertAudioForMp4(ctx, c);
    EXPECT_EQ(Commands(),
              std::vector<std::string>{"\"" + c.neroPath + "\" -lc -br 320000 -if " +
                                       In("movie.wav") + " -of  " + In("Film_2008.mp4")});
    EXPECT_TRUE(c.neroWroteMp4);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Audio, M2tsTable) {
    struct Row {
        int format;
        std::vector<std::string> commands;
    };
    const std::string aften =
        T(tool::kAften) + " " + In("movie.wav") + " -b 640 " + In("movie.ac3");
    const std::vector<Row> rows = {
        {0, {}},
        {1,
         {T(tool::kValdec) + " " + In("movie.dts") + " -wav " + In("movie.wav") + " -fmt:0",
          aften}},
        {4, {Ffmpeg() + " -i " + In("movie.aac") + " -acodec pcm_s16le " + In("movie.wav"), aften}},
        {3, {aften}},  // decoded in-process first
    };
    for (const Row& row : rows) {
        const size_t before = Commands().size();
        Prepare(row.format, 0);
        Conversion c = MakeConversion();
        ConvertAudioForM2ts(ctx, c);
        EXPECT_EQ(std::vector<std::string>(Commands().begin() + before, Commands().end()),
                  row.commands)
            << row.format;
    }
}

TEST_F(Audio, AvchdKeepsOnlyAc3AndDts) {
    for (int format : {0, 1}) {
        Prepare(format, 0);
        Conversion c = MakeConversion();
        ConvertAudioForAvchd(ctx, c);
    }
    EXPECT_TRUE(Commands().empty());
    UseRealSource();
    Prepare(2, 0);
    Conversion c = MakeConversion();
    ConvertAudioForAvchd(ctx, c);
    EXPECT_EQ(Commands(), std::vector<std::string>{T(tool::kAften) + " " + In("movie.wav") +
                                                   " -b 640 " + In("movie.ac3")});
    EXPECT_FALSE(Exists("movie.wav"));
}

}  // namespace
}  // namespace kestrun::test
