#include "platform/tool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "support/recorder_rules.h"
#include "support/temp_folder.h"

namespace kestrun {
namespace {

using namespace std::chrono_literals;
using test::ReadWholeFile;
using test::TempFolder;
using Clock = std::chrono::steady_clock;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

class ToolRunnerTest : public ::testing::Test {
protected:
    TempFolder scratch;
    test::RecorderProgramFolder tools{scratch.path().string()};
    ToolRunner runner;
};

TEST_F(ToolRunnerTest, ToolThatCannotStartFailsAtOnceInEveryMode) {
    const std::string notExecutable = scratch.Write("plain.txt", "#!/bin/sh\necho hi\n");
    const std::string missing = scratch / "MKVToolnix/mkvinfo";
    int pumps = 0;
    runner.SetPump([&] { ++pumps; }, 1ms);
    for (const std::string& tool :
         {missing, notExecutable, scratch.path().string(), std::string()}) {
        SCOPED_TRACE(tool);
        const std::string commandLine = Quoted(tool) + " --ui-language en";
        EXPECT_EQ(runner.RunCapture(commandLine),
                  "Failed to create process, check the path of the command line.");
        auto start = Clock::now();
        EXPECT_EQ(runner.RunWait(commandLine, 0), -1);
        runner.RunWaitHidden(commandLine, 1);
        EXPECT_LT(Clock::now() - start, 500ms);
    }
    EXPECT_EQ(pumps, 0) << "nothing ran, so there was nothing to wait for";
    EXPECT_EQ(runner.RunCapture(""), kCreateProcessFailed);
}

TEST_F(ToolRunnerTest, CaptureOfAToolThatPrintsNothingIsEmpty) {
    EXPECT_EQ(runner.RunCapture("/bin/true"), "");
    // Standard input is /dev/null: cat ends at once instead of waiting for a terminal.
    EXPECT_EQ(runner.RunCapture("/bin/cat"), "");
    EXPECT_EQ(runner.RunCapture("/usr/bin/readlink /proc/self/fd/0"), "/dev/null\n");
}

TEST_F(ToolRunnerTest, CaptureKeepsTextAcrossChunkBoundaries) {
    // "é" is two bytes; placed at 1023 it is cut by the first 1024-byte read, and the line it
    // sits in runs on across the boundary.
    std::string text = std::string(1023, 'a') + "é, ünïcode line\n";
    while (text.size() < 5000) text += "Ünïcödé ligne d'été ✓ ";
    text += "\nlast line without end";
    std::string big;
    while (big.size() < 300000) big += "0123456789 ñandú\n";  // more than a pipe holds
    tools.Install("/MKVToolnix/mkvinfo");
    tools.Rules().Stdout("mkvinfo", text, "small").Stdout("mkvinfo", big, "big");
    const std::string tool = Quoted(tools.ProgramFolder() + "/MKVToolnix/mkvinfo");

    EXPECT_EQ(runner.RunCapture(tool + " small"), text);
    EXPECT_EQ(runner.RunCapture(tool + " big", true, false, false), big);
}

TEST_F(ToolRunnerTest, CaptureTakesTheStreamsAskedFor) {
    const std::string tool = R"(/bin/sh -c "printf out; printf err >&2")";
    EXPECT_EQ(runner.RunCapture(tool), "out");
    EXPECT_EQ(runner.RunCapture(tool, true, true), "outerr");
    EXPECT_EQ(runner.RunCapture(tool, false, true), "err");
    EXPECT_THROW(runner.RunCapture(tool, false, false), std::invalid_argument);
}

TEST_F(ToolRunnerTest, RunWaitReturnsTheExitCode) {
    EXPECT_EQ(runner.RunWait(R"(/bin/sh -c "exit 7")", 0), 7);
    EXPECT_EQ(runner.RunWait("/bin/true", 1), 0);
    EXPECT_EQ(runner.RunWait(R"(/bin/sh -c "kill -KILL $$")", 0), -1);
}

TEST_F(ToolRunnerTest, ObserverSeesEveryCommandLineExactly) {
    std::vector<std::string> seen;
    runner.SetObserver([&](const std::string& commandLine) { seen.push_back(commandLine); });
    const std::vector<std::string> lines = {R"(/bin/true  "a  b" "" x)",
                                            R"("/missing/tool" -i "x y.mkv")", "/bin/true\t1"};
    runner.RunCapture(lines[0]);
    runner.RunWait(lines[1], 0);
    runner.RunWaitHidden(lines[2], 1);
    EXPECT_EQ(seen, lines);
}

TEST_F(ToolRunnerTest, ToolPathWithBlanksApostropheAndAccentsRunsWithExactArguments) {
    const std::string tool = tools.Install("/Dossier d'été/Ünïcode tool");
    const std::string commandLine =
        Quoted(tool) + R"( tracks "/v/Film d'été.mkv" "" 1:"/w/movie.h264" a\"b)";
    EXPECT_EQ(runner.RunWait(commandLine, 0), 0);
    EXPECT_EQ(tools.Runs(), (std::vector<test::RecordedRun>{{tool, "tracks", "/v/Film d'été.mkv",
                                                             "", "1:/w/movie.h264", "a\"b"}}));
}

TEST_F(ToolRunnerTest, RunWaitOutputGoesToTheToolLog) {
    const std::string log = scratch / "tools.log";
    runner.SetToolLog(log);
    runner.RunWait(R"(/bin/sh -c "echo first; echo problem >&2")", 0);
    runner.RunWaitHidden("/bin/echo second", 0);
    EXPECT_EQ(ReadWholeFile(log), "first\nproblem\nsecond\n");

    runner.SetToolLog(scratch / "missing folder/tools.log");  // cannot open: output dropped
    EXPECT_EQ(runner.RunWait("/bin/echo third", 0), 0);
}

TEST_F(ToolRunnerTest, OutputListenerGetsEachLineWhileTheLogKeepsEverything) {
    const std::string log = scratch / "tools.log";
    runner.SetToolLog(log);
    std::vector<std::string> lines;
    runner.SetOutputListener([&](std::string_view line) { lines.emplace_back(line); });
    runner.RunWait(R"(/bin/sh -c "printf 'Pos: 1%%\rPos: 2%%\n\nend'; echo oops >&2")", 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"Pos: 1%", "Pos: 2%", "end"}));
    // Standard error goes to the log directly, so the two may interleave.
    const std::string logged = ReadWholeFile(log);
    EXPECT_NE(logged.find("Pos: 1%\rPos: 2%\n\nend"), std::string::npos) << logged;
    EXPECT_NE(logged.find("oops\n"), std::string::npos) << logged;
    runner.SetOutputListener(nullptr);
    EXPECT_EQ(runner.RunWait("/bin/echo quiet", 0), 0);
    EXPECT_EQ(lines.size(), 3u);
}

TEST_F(ToolRunnerTest, PriorityIndexOneIsHighAndEverythingElseBelowNormal) {
    const std::string log = scratch / "nice.log";
    runner.SetToolLog(log);
    errno = 0;
    const int ownNice = getpriority(PRIO_PROCESS, 0);
    const bool privileged = (geteuid() == 0);
    runner.RunWait("/usr/bin/nice", 0);
    runner.RunWait("/usr/bin/nice", -1);
    runner.RunWait("/usr/bin/nice", 1);
    const int low = privileged ? 10 : std::max(10, ownNice);
    const int high = privileged ? -5 : ownNice;  // raising needs privileges; else it is left
    EXPECT_EQ(ReadWholeFile(log), std::to_string(low) + "\n" + std::to_string(low) + "\n" +
                                      std::to_string(high) + "\n");
}

TEST_F(ToolRunnerTest, ToolGetsNoOtherDescriptorOfOurs) {
    int inheritable = open(scratch.Write("open.txt").c_str(), O_RDONLY);  // no close-on-exec
    ASSERT_GE(inheritable, 0);
    const std::string probe = "/usr/bin/test -e /proc/self/fd/" + std::to_string(inheritable);
    EXPECT_EQ(runner.RunWait(probe, 0), 1);
    close(inheritable);
}

TEST_F(ToolRunnerTest, PumpRunsWhileTheToolRuns) {
    int pumps = 0;
    runner.SetPump([&] { ++pumps; }, 10ms);
    EXPECT_EQ(runner.RunWait("/bin/sleep 0.3", 0), 0);
    EXPECT_GE(pumps, 5);
    pumps = 0;
    auto start = Clock::now();
    runner.RunWait("/bin/true", 0);
    EXPECT_LT(Clock::now() - start, 200ms) << "an ended tool is noticed before the interval";
}

TEST_F(ToolRunnerTest, StopRunningToolEndsTheToolAndWhatItStarted) {
    const std::string pidFile = scratch / "child.pid";
    runner.SetPump(
        [&] {
            if (!ReadWholeFile(pidFile).empty()) runner.StopRunningTool();
        },
        20ms);
    auto start = Clock::now();
    EXPECT_EQ(runner.RunWait("/bin/sh -c \"sleep 30 & echo $! > '" + pidFile + "'; wait\"", 0), -1);
    EXPECT_LT(Clock::now() - start, 1500ms);
    const std::string grandchild = ReadWholeFile(pidFile);
    ASSERT_FALSE(grandchild.empty());
    bool gone = false;
    for (int i = 0; i < 50 && !gone; ++i) {
        std::string stat =
            ReadWholeFile("/proc/" + grandchild.substr(0, grandchild.size() - 1) + "/stat");
        gone = stat.empty() || stat.find(") Z") != std::string::npos;
        if (!gone) std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(gone) << "the tool's own child was left running";
}

TEST_F(ToolRunnerTest, ToolThatIgnoresTerminationIsKilledAfterTheGrace) {
    runner.SetPump([&] { runner.StopRunningTool(); }, 20ms);
    auto start = Clock::now();
    EXPECT_EQ(runner.RunWait(R"(/bin/sh -c "trap '' TERM; sleep 30")", 0), -1);
    auto took = Clock::now() - start;
    EXPECT_GE(took, ToolRunner::kStopGrace);
    EXPECT_LT(took, ToolRunner::kStopGrace + 2s);
}

TEST(FileNameOf, TakesWhatFollowsTheLastSeparator) {
    EXPECT_EQ(FileNameOf("/home/u/Videos/film.mkv"), "film.mkv");
    EXPECT_EQ(FileNameOf("film.mkv"), "film.mkv");
    EXPECT_EQ(FileNameOf("/home/u/out/"), "");
    EXPECT_EQ(FileNameOf(""), "");
}

TEST(FileFound, AcceptsAnyReadableFileEvenEmpty) {
    TempFolder scratch;
    EXPECT_TRUE(FileFound(scratch.Write("empty.h264")));
    EXPECT_TRUE(FileFound(scratch.Write("Été d'or.mkv", "x")));
    EXPECT_FALSE(FileFound(scratch / "missing.h264"));
    EXPECT_FALSE(FileFound(scratch.path().string()));
    EXPECT_FALSE(FileFound(""));
}

}  // namespace
}  // namespace kestrun

namespace kestrun {
namespace {

TEST(ToolRunnerEnvironment, EveryToolGetsTheEntries) {
    test::TempFolder scratch;
    ToolRunner runner(scratch / "tools.log");
    runner.SetEnvironment({"KESTRUN_STATE_DIR=/state folder"});
    EXPECT_NE(runner.RunCapture("/usr/bin/env").find("KESTRUN_STATE_DIR=/state folder\n"),
              std::string::npos);
    runner.RunWaitHidden("/usr/bin/env", 0);
    EXPECT_NE(test::ReadWholeFile(scratch / "tools.log").find("KESTRUN_STATE_DIR=/state folder\n"),
              std::string::npos);
}

}  // namespace
}  // namespace kestrun
