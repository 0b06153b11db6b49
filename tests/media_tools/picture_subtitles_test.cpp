// Blu-ray (PGS) and DVD (VobSub) subtitles taken out of an MKV by the mkvextract stand-in and
// drawn into the picture by the Mencoder stand-in, in each re-encode's command form.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "media_tools/media_test_support.h"
#include "media_tools/samples.h"
#include "support/subtitle_frames.h"

namespace media_test {
namespace {

namespace fs = std::filesystem;
using kestrun::test::DifferenceBox;
using kestrun::test::FrameAt;
using kestrun::test::GrayFrame;

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    for (size_t at = 0; at < line.size();) {
        const size_t end = line.find(' ', at);
        if (end != at) words.push_back(line.substr(at, end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return words;
}

// Pixels whose luma differs by more than the box's threshold.
int DifferingPixels(const GrayFrame& a, const GrayFrame& b) {
    int count = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i)
        count += std::abs(int(a.pixels[i]) - int(b.pixels[i])) > 40;
    return count;
}

// The re-encodes' command lines with and without a subtitle piece; the font and text options stay
// in the subtitled lines, as the chains write them.
struct Form {
    const char* name;
    const char* output;
    const char* plain;
    const char* subtitled;
    int filmTop;   // the film's first row in the result
    double scale;  // result height per film height
};
constexpr const char* kSubOptions =
    "-font /no/font.ttf -utf8 -subwidth 90 -subpos 90 -subfont-autoscale 1 -subfont-text-scale 5";
const Form kForms[] = {
    {"H.264", "movie.h264",
     "-nosound -noskip -mc 0 -of rawvideo -o OUT -ovc x264 -x264encopts bitrate=3000:level=41 "
     "-ofps 25 -vf harddup,expand=640:480 SRC -mc 0 -noskip",
     "-oac copy SUBOPTS -nosound -noskip -mc 0 -of rawvideo -o OUT -ovc x264 -x264encopts "
     "bitrate=3000:level=41 -ofps 25 -vf  harddup,expand=640:480 SRC -mc 0 -noskip SUB",
     60, 1},
    {"MPEG-2", "movie.mpg",
     "-nosound -o OUT -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:vbitrate=8000:"
     "autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps 25 -vf harddup SRC -mc 0 -noskip",
     "-nosound  SUBOPTS -o OUT -of mpeg -ovc lavc -lavcopts threads=4:vcodec=mpeg2video:"
     "vbitrate=8000:autoaspect:keyint=15:vqmin=1:lmin=1:vstrict=0:mv0 -ofps 25 -vf harddup SRC "
     "-mc 0 -noskip SUB",
     0, 1},
    {"Xvid", "movie.avi",
     "-of avi -o OUT -ovc xvid -xvidencopts bitrate=3000:max_bframes=2:nogmc:noqpel -ofps 25 -vf "
     "harddup,scale=480:270 -nosound SRC -mc 0 -noskip",
     "SUBOPTS -of avi -o OUT -ovc xvid -xvidencopts bitrate=3000:max_bframes=2:nogmc:noqpel "
     "-ofps 25 -vf harddup,scale=480:270 -nosound SRC  -noskip SUB",
     0, 0.75},
};

class PictureSubtitles : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = WorkFolder() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directory(work_);
    }
    void TearDown() override { fs::remove_all(work_); }

    std::string In(const std::string& name) const { return work_ + "/" + name; }

    // The command line with its place-holders filled in.
    static std::vector<std::string> Line(const std::string& text, const std::string& out,
                                         const std::vector<std::string>& subtitle) {
        std::vector<std::string> args = {BuiltTool("Mencoder/Mencoder")};
        for (const auto& word : Words(text)) {
            if (word == "SUBOPTS") {
                for (const auto& option : Words(kSubOptions)) args.push_back(option);
            } else if (word == "SUB") {
                args.insert(args.end(), subtitle.begin(), subtitle.end());
            } else {
                args.push_back(word == "OUT" ? out : word == "SRC" ? Source() : word);
            }
        }
        return args;
    }
    static std::string Source() { return PictureSubtitleMkv("pgs"); }

    std::string work_;
};

TEST_F(PictureSubtitles, DrawnInEachFormAtTheCuesOnly) {
    // Track 2 of each MKV taken out as the chains take it: movie.sup, or movie.idx with movie.sub.
    const std::string mkvextract = BuiltTool("MKVToolnix/mkvextract");
    auto run =
        RunProgram({mkvextract, "tracks", PictureSubtitleMkv("pgs"), "2:" + In("movie.sup")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Probe(In("movie.sup"), "s")["codec_name"], "hdmv_pgs_subtitle");
    fs::create_directory(In("dvd"));
    run = RunProgram(
        {mkvextract, "tracks", PictureSubtitleMkv("vobsub"), "2:" + In("dvd/movie.idx")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FolderNames(In("dvd")), (std::vector<std::string>{"movie.idx", "movie.sub"}));

    const std::pair<const char*, std::vector<std::string>> pieces[] = {
        {"PGS", {"-sub", In("movie.sup")}}, {"VobSub", {"-vobsub", In("dvd/movie")}}};
    for (const Form& form : kForms) {
        const std::string plain = In(std::string("plain ") + form.output);
        run = RunProgram(Line(form.plain, plain, {}));
        ASSERT_EQ(run.exitCode, 0) << form.name << run.err;
        for (const auto& [kind, piece] : pieces) {
            SCOPED_TRACE(std::string(form.name) + " " + kind);
            const std::string out = In(std::string(kind) + " " + form.output);
            run = RunProgram(Line(form.subtitled, out, piece));
            ASSERT_EQ(run.exitCode, 0) << run.err;
            for (const double at : {1.5, 4.5}) {
                const GrayFrame a = FrameAt(plain, at, false), b = FrameAt(out, at, false);
                ASSERT_FALSE(a.pixels.empty());
                const auto box = DifferenceBox(a, b);
                ASSERT_FALSE(box.Empty()) << at;
                EXPECT_NEAR((box.left + box.right) / 2.0, a.width / 2.0, 6) << at;
                // Where the disc put the text on the film, wherever the film is in the result: one
                // line high.
                EXPECT_NEAR(box.bottom, form.filmTop + 319 * form.scale, 6) << at;
                EXPECT_GT(box.top, form.filmTop + 270 * form.scale) << at;
            }
            // Between the cues, and before and after them, the picture is the plain encode's
            // (two engines may round a pixel differently).
            for (const double at : {0.5, 3.2, 5.5})
                EXPECT_LT(DifferingPixels(FrameAt(plain, at, false), FrameAt(out, at, false)), 10)
                    << at;
        }
    }
}

TEST_F(PictureSubtitles, WithoutASubtitlePieceNoSubtitleIsDrawn) {
    // Neither the source's default subtitle track nor a subtitle file named like the source.
    const std::string bare = In("bare.mkv"), beside = In("beside.mkv");
    kestrun::test::Mkvmerge({"-o", bare, "--no-subtitles", PictureSubtitleMkv("pgs")});
    fs::copy_file(bare, beside);
    WriteText(In("beside.srt"), "1\n00:00:01,000 --> 00:00:02,000\nHello\n\n");
    const Form& form = kForms[0];
    auto encode = [&](const std::string& source, const std::string& out) {
        std::vector<std::string> args = Line(form.plain, out, {});
        std::replace(args.begin(), args.end(), Source(), source);
        const auto run = RunProgram(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return FrameAt(out, 1.5, false);
    };
    const GrayFrame plain = encode(bare, In("bare.h264"));
    ASSERT_FALSE(plain.pixels.empty());
    for (const std::string& source : {PictureSubtitleMkv("pgs"), beside})
        EXPECT_LT(DifferingPixels(plain, encode(source, In("other.h264"))), 10) << source;
}

TEST_F(PictureSubtitles, MissingOrWrongFilesAreRefusedWithNothingWritten) {
    fs::copy_file(PictureSubtitleMkv("pgs"), In("film.mkv"));
    const std::string text = In("text.sup");
    WriteText(text, "1\n00:00:01,000 --> 00:00:02,000\nnot pictures\n");
    WriteText(In("only index.idx"), "# VobSub index file, v7\nsize: 640x360\n");
    fs::copy_file(In("only index.idx"), In("text.idx"));
    fs::copy_file(text, In("text.sub"));
    WriteText(In("only pictures.sub"), std::string("\0\0\1\xba", 4));
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-sub", text},
         "subtitle file is not a PGS stream (a .sup file starts with \"PG\"): " + text},
        {{"-sub", In("none.SUP")}, "subtitle input file does not exist: " + In("none.SUP")},
        {{"-vobsub", In("only index")}, "input file does not exist: " + In("only index.sub")},
        {{"-vobsub", In("only pictures")}, "input file does not exist: " + In("only pictures.idx")},
        {{"-vobsub", In("text")},
         "subtitle file is not VobSub pictures (an MPEG program stream, starting with 00 00 01 "
         "BA): " +
             In("text.sub")},
        {{"-vobsub", In("x"), "-sub", text}, "-sub and -vobsub both given"},
    };
    for (const auto& [piece, message] : cases) {
        for (const Form& form : kForms) {
            const auto run = RunProgram(Line(form.subtitled, In(form.output), piece));
            EXPECT_EQ(run.exitCode, 1) << piece[1];
            EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        }
    }
    EXPECT_EQ(FolderNames(work_),
              (std::vector<std::string>{"film.mkv", "only index.idx", "only pictures.sub",
                                        "text.idx", "text.sub", "text.sup"}));
}

}  // namespace
}  // namespace media_test
