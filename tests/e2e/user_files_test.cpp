// kestrun-cli convert into folders that hold files of the user's: whatever their names, they stay
// as they were, and the conversion either gives its result or fails with a message and a
// non-zero exit.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "e2e/e2e_support.h"
#include "model/messages.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

enum class Source { Mkv, QpelAvi, PlainAvi, BigMkv };

struct Case {
    const char* what;
    Source kind;
    std::string sourceName;
    std::vector<std::string> options;
    std::vector<std::string> userFiles;  // in the output folder; "d/x" makes the folder d
    bool intoSourceFolder;               // the output folder is the source's own
    std::string result;                  // empty: the conversion must fail
    std::string message;                 // part of the output of a failure
};

class UserFiles : public ::testing::Test {
protected:
    std::string MakeSource(const Case& c, const fs::path& folder) {
        const std::string path = (folder / c.sourceName).string();
        if (c.kind == Source::Mkv || c.kind == Source::BigMkv) {
            MakeMkv(path, {"-c:a", "ac3"}, 2);
            // Above the split size, stored sparse: only the start is a film.
            if (c.kind == Source::BigMkv) fs::resize_file(path, 4300000000);
            return path;
        }
        std::vector<std::string> args = PictureInput("320x240");
        for (const auto& part :
             {ToneInput(2, 2),
              std::vector<std::string>{"-t", "2", "-c:v", "libxvid", "-vtag", "XVID", "-b:v",
                                       "600k"},
              c.kind == Source::QpelAvi ? std::vector<std::string>{"-flags", "+qpel"}
                                        : std::vector<std::string>{},
              std::vector<std::string>{"-c:a", "libmp3lame"}})
            args.insert(args.end(), part.begin(), part.end());
        test::SampleAt(args, path);
        return path;
    }

    test::TempFolder temp{"kestrun-e2e-userfiles"};
    ProgramFolderCopy program{temp.path()};
};

TEST_F(UserFiles, StayAsTheyWereWhateverTheirNames) {
    const std::string longName(250, 'l');
    const Case cases[] = {
        {"fixed intermediate names",
         Source::Mkv,
         "Film.mkv",
         {},
         {"movie.srt", "movie.wav", "movie.ac3", "movie.aac", "movie.h264", "movie.meta"},
         false,
         "Film.mp4",
         ""},
        {"a split folder beside a source above the split size",
         Source::BigMkv,
         "film.mkv",
         {},
         {"split/notes.txt", "split/other.mkv"},
         false,
         "film-001.mp4",
         ""},
        {"an M2TS stream named like the source",
         Source::Mkv,
         "Film.mkv",
         {"--container", "m2ts"},
         {"Film.m2ts"},
         false,
         "Film.mpg",
         ""},
        {"MPEG-2 of a source named like the intermediate",
         Source::Mkv,
         "movie.mkv",
         {"--recode", "mpeg2"},
         {},
         false,
         "movie.mpg",
         ""},
        {"Xvid of a source named like the intermediate",
         Source::Mkv,
         "movie.mkv",
         {"--recode", "xvid"},
         {},
         false,
         "movie.avi",
         ""},
        {"an earlier AVI result",
         Source::PlainAvi,
         "clip.avi",
         {},
         {"KR_clip.avi"},
         false,
         "",
         std::string(msg::kResultExists)},
        {"an AVI with subtitles burned in",
         Source::QpelAvi,
         "clip.avi",
         {"--subs-beside"},
         {"movie.avi"},
         true,
         "KR_clip.avi",
         ""},
        {"an AVI named like the test cut, into its own folder",
         Source::PlainAvi,
         "test.avi",
         {},
         {},
         true,
         "KR_test.avi",
         ""},
        {"a name too long for the folder",
         Source::Mkv,
         longName + ".mkv",
         {},
         {},
         false,
         "",
         " (270" + std::string(msg::kNameTooLongMiddle)},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path sources = temp.path() / ("sources" + std::to_string(index));
        const fs::path out =
            c.intoSourceFolder ? sources : temp.path() / ("out" + std::to_string(index));
        ++index;
        fs::create_directories(sources);
        fs::create_directories(out);
        const std::string source = MakeSource(c, sources);
        if (c.options == std::vector<std::string>{"--subs-beside"})
            test::WriteWholeFile((sources / "clip.srt").string(),
                                 "1\n00:00:00,000 --> 00:00:01,500\nHello\n");
        for (const std::string& name : c.userFiles) {
            fs::create_directories((out / name).parent_path());
            test::WriteWholeFile((out / name).string(), "mine: " + name);
        }
        std::map<std::string, std::string> before;
        for (const auto& entry : fs::recursive_directory_iterator(out))
            if (entry.is_regular_file()) before[entry.path()] = Fingerprint(entry.path());

        std::vector<std::string> argv = {program.Cli(), "convert", "--out", out.string()};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        argv.push_back(source);
        const ProgramRun run = RunProgram(argv);

        for (const auto& [path, print] : before) EXPECT_EQ(Fingerprint(path), print) << path;
        if (c.result.empty()) {
            EXPECT_NE(run.exitCode, 0);
            EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << run.out << run.err;
        } else {
            EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
            EXPECT_FALSE(Probe((out / c.result).string()).OfType("video").empty());
        }
        for (const std::string& name : FolderNames(out))
            EXPECT_NE(name.rfind(".kestrun-work-", 0), 0u) << "left behind: " << name;
    }
}

}  // namespace
}  // namespace kestrun::e2e
