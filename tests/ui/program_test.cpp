// The program itself, started as a person starts it from a terminal: a folder named on the
// command line is converted file by file, with the recording stand-in as every tool, and the
// window then ends (KESTRUN_QUIT_AFTER_COMMAND_LINE) having asked nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "app/batch.h"
#include "platform/tool_table.h"
#include "support/process.h"
#include "support/recorder_rules.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// The texts the window logged under `what`, in order (see src/app/ui/unattended_log.h).
std::vector<std::string> Logged(const std::string& log, const std::string& what) {
    std::vector<std::string> texts;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(what + "\t", 0) == 0) texts.push_back(line.substr(what.size() + 1));
    return texts;
}

// The settings file with the output folder in line 4 and the design's defaults elsewhere.
std::string SettingsWithOutputFolder(const std::string& folder) {
    const char* lines[] = {"", "",    "", folder.c_str(), " 0 ", " 1 ", "",
                           "", "-1 ", "", "-1 ",          " 0 ", " 0 ", " 0 "};
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

TEST(WindowProgram, ConvertsTheFolderOnItsCommandLineInTurnAndSkipsFinishedFiles) {
    TempFolder root{"kestrun-ui-run"};
    RecorderProgramFolder recorder(root.path().string());
    const std::string prog = recorder.ProgramFolder();
    fs::copy_file(KESTRUN_WINDOW_PROGRAM, prog + "/kestrun");
    recorder.Install({tool::kMkvInfo, tool::kMkvExtract, tool::kMkvMerge, tool::kFFmpeg,
                      tool::kMP4Box, tool::kX264Checker, tool::kH264Info});

    const std::string films = root / "My Films";
    for (const char* name : {"a.mkv", "b.mkv", "c.mkv", "d.mkv"})
        root.Write(std::string("My Films/") + name, "x");
    const std::string out = root / "out";
    root.Write("out/b.mp4", "done");
    root.Write("out/c.mpg", "done");  // an M2TS result: this batch writes MP4
    root.Write("out/d.m2ts", "not what the skip test looks for");
    root.Write("prog/Kestrun.conf", SettingsWithOutputFolder(out + "/"));

    // The path arrives in two arguments, as an unquoted blank splits it.
    const ProgramRun run =
        RunProgram({prog + "/kestrun", root / "My", "Films"},
                   {{"QT_QPA_PLATFORM=offscreen", "KESTRUN_QUIT_AFTER_COMMAND_LINE=1",
                     "KESTRUN_UNATTENDED_LOG=" + (root / "window.log")},
                    std::chrono::seconds(60)});
    const int exitCode = run.exitCode;
    ASSERT_EQ(exitCode, 0) << run.out << run.err;

    std::vector<std::string> expected, listed;
    for (const auto& name : MkvFilesIn(films)) {
        listed.push_back(films + "/" + name);
        if (name != "b.mkv") expected.push_back(films + "/" + name);
    }

    const std::string log = ReadWholeFile(root / "window.log");
    EXPECT_EQ(Logged(log, "txtFile"), expected) << log;
    std::vector<std::string> counters;
    for (const auto& text : Logged(log, "lblMulti"))
        if (!text.empty()) counters.push_back(text);
    EXPECT_EQ(counters, (std::vector<std::string>{"1 of 4", "2 of 4", "3 of 4", "4 of 4"}));
    EXPECT_TRUE(Logged(log, "question").empty());
    EXPECT_TRUE(Logged(log, "folder").empty());

    // Each file was analysed, in the batch's order: the analysis decides its result's name.
    std::vector<std::string> analysed;
    for (const auto& run : RunsOf(recorder.Runs(), "mkvinfo"))
        for (const auto& arg : run)
            if (arg.rfind(films, 0) == 0 && (analysed.empty() || analysed.back() != arg))
                analysed.push_back(arg);
    EXPECT_EQ(analysed, listed);

    // Convert saved the settings it ran with.
    const std::string saved = ReadWholeFile(prog + "/Kestrun.conf");
    EXPECT_NE(saved.find("\r\n" + out + "/\r\n"), std::string::npos) << saved;
}

}  // namespace
}  // namespace kestrun::test
