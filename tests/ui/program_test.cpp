// The program itself, started as a person starts it from a terminal: a folder named on the
// command line is converted file by file, with the recording stand-in as every tool, and the
// window then ends (KESTRUN_QUIT_AFTER_COMMAND_LINE) having asked nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "app/batch.h"
#include "platform/tool_table.h"
#include "support/recorder_rules.h"
#include "support/temp_folder.h"

extern char** environ;

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// Runs the program with extra environment entries; -1 when it had to be killed after `limit`.
int RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
               std::chrono::seconds limit, const std::string& outputFile) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return -2;

    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

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
    root.Write("out/c.mpg", "done");
    root.Write("out/d.m2ts", "not what the skip test looks for");
    root.Write("prog/Kestrun.conf", SettingsWithOutputFolder(out + "/"));

    // The path arrives in two arguments, as an unquoted blank splits it.
    const int exitCode =
        RunProgram({prog + "/kestrun", root / "My", "Films"},
                   {"QT_QPA_PLATFORM=offscreen", "KESTRUN_QUIT_AFTER_COMMAND_LINE=1",
                    "KESTRUN_UNATTENDED_LOG=" + (root / "window.log")},
                   std::chrono::seconds(60), root / "output.txt");
    ASSERT_EQ(exitCode, 0) << TempFolder::Read(root / "output.txt");

    std::vector<std::string> expected;
    for (const auto& name : MkvFilesIn(films))
        if (name == "a.mkv" || name == "d.mkv") expected.push_back(films + "/" + name);

    const std::string log = TempFolder::Read(root / "window.log");
    EXPECT_EQ(Logged(log, "txtFile"), expected) << log;
    std::vector<std::string> counters;
    for (const auto& text : Logged(log, "lblMulti"))
        if (!text.empty()) counters.push_back(text);
    EXPECT_EQ(counters, (std::vector<std::string>{"1 of 4", "2 of 4", "3 of 4", "4 of 4"}));
    EXPECT_TRUE(Logged(log, "question").empty());
    EXPECT_TRUE(Logged(log, "folder").empty());

    // Each converted file was analysed before it was converted, in the batch's order.
    std::vector<std::string> analysed;
    for (const auto& run : RunsOf(recorder.Runs(), "mkvinfo"))
        for (const auto& arg : run)
            if (arg.rfind(films, 0) == 0 && (analysed.empty() || analysed.back() != arg))
                analysed.push_back(arg);
    EXPECT_EQ(analysed, expected);

    // Convert saved the settings it ran with.
    const std::string saved = TempFolder::Read(prog + "/Kestrun.conf");
    EXPECT_NE(saved.find("\r\n" + out + "/\r\n"), std::string::npos) << saved;
}

}  // namespace
}  // namespace kestrun::test
