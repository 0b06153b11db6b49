// Two stage sequences side by side: what a person sees keeps the order of one after the other,
// a failure or a cancel stops both, and what they wrote stays.
#include "pipeline/side_by_side.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "chains/convert_mkv.h"
#include "model/context.h"
#include "pipeline_fixture.h"
#include "platform/tool_runner.h"
#include "platform/tool_table.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

// Records progress texts and messages in one journal; a person may cancel from a pump.
class JournalHost : public ScriptedHost {
public:
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons) override {
        journal.push_back("message: " + text);
        return ScriptedHost::MsgBox(text, title, icon, buttons);
    }
    void DoEvents() override {
        ScriptedHost::DoEvents();
        if (cancelWhen && cancelWhen()) stop = true;
    }
    bool StopRequested() const override { return stop; }

    std::vector<std::string> journal;
    std::function<bool()> cancelWhen;
    std::atomic<bool> stop{false};
};

class SideBySide : public ::testing::Test {
protected:
    SideBySide() {
        ctx.form.txtProgress.onChange = [this](const Control& c) {
            host.journal.push_back(c.text());
        };
    }

    int RunTool(const std::string& commandLine) {
        const int code = ctx.runner.RunWait(commandLine, 0);
        ctx.Checkpoint();
        return code;
    }
    std::string Sleep(int seconds) { return "\"/usr/bin/sleep\" " + std::to_string(seconds); }
    // Makes `path` and then sleeps a minute: whoever waits for the file acts while this tool runs.
    std::string FlockThenSleep(const std::string& path) {
        return "\"/usr/bin/flock\" \"" + path + "\" " + Sleep(60);
    }
    std::string Touch(const std::string& path) { return "\"/usr/bin/touch\" \"" + path + "\""; }
    // Waits (pumping nothing) until the other sequence has written `path`.
    void AwaitFile(const std::string& path) {
        while (!FileFound(path)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::string DebugLog() { return ReadWholeFile(ctx.ToolPath(tool::kDebugLog)); }

    TempFolder folder{"kestrun-side"};
    JournalHost host;
    Context ctx{host, folder.path().string()};
    std::string marker = folder / "follower started";
};

TEST_F(SideBySide, TheFollowerIsSeenAfterTheLeadInItsOwnOrder) {
    const bool went = RunSideBySide(
        ctx,
        [&] {
            ctx.Progress("lead 1");
            ctx.Log("lead log");
            AwaitFile(marker);  // the follower has shown everything by now
            RunTool("\"/usr/bin/echo\" lead output");
            ctx.Progress("lead 2");
            return true;
        },
        [&] {
            ctx.Progress("follower 1");
            ctx.Log("follower log");
            ctx.host.MsgBox("follower message", "title", MsgIcon::Critical, MsgButtons::Ok);
            RunTool("\"/usr/bin/echo\" follower output");
            RunTool(Touch(marker));
            ctx.Progress("follower 2");
            return true;
        });
    EXPECT_TRUE(went);
    EXPECT_EQ(host.journal, (std::vector<std::string>{"lead 1", "lead 2", "follower 1",
                                                      "message: follower message", "follower 2"}));
    EXPECT_EQ(DebugLog(), "lead log\nfollower log\n");
    EXPECT_EQ(ReadWholeFile(ctx.ToolPath(tool::kToolLog)), "lead output\nfollower output\n");
}

TEST_F(SideBySide, TwoConversionsFromOneProgramFolderKeepEachFollowersToolOutput) {
    JournalHost otherHost;
    Context other{otherHost, folder.path().string()};
    const std::string otherStarted = folder / "other follower started";
    std::thread otherConversion;
    const bool went = RunSideBySide(
        ctx, [] { return true; },
        [&] {
            RunTool("\"/usr/bin/echo\" this follower");
            otherConversion = std::thread([&] {
                RunSideBySide(
                    other, [] { return true; },
                    [&] {
                        other.runner.RunWait("\"/usr/bin/echo\" other follower", 0);
                        other.runner.RunWait(Touch(otherStarted), 0);
                        return true;
                    });
            });
            AwaitFile(otherStarted);
            return true;
        });
    otherConversion.join();
    EXPECT_TRUE(went);
    const std::string toolLog = ReadWholeFile(ctx.ToolPath(tool::kToolLog));
    for (const char* line : {"this follower\n", "other follower\n"})
        EXPECT_NE(toolLog.find(line), std::string::npos) << toolLog;
    EXPECT_EQ(toolLog.size(), std::string("this follower\nother follower\n").size()) << toolLog;
}

TEST_F(SideBySide, AFailedFollowerStopsTheLeadAndIsStillSeen) {
    int leadTool = 0;
    bool leadWentOn = false;
    const bool went = RunSideBySide(
        ctx,
        [&] {
            leadTool = ctx.runner.RunWait(Sleep(60), 0);
            ctx.Progress("lead after its tool");
            leadWentOn = true;
            return true;
        },
        [&] {
            ctx.Progress("follower failed");
            return false;
        });
    EXPECT_FALSE(went);
    EXPECT_EQ(leadTool, -1);  // ended by a signal
    EXPECT_FALSE(leadWentOn);
    EXPECT_EQ(host.journal, std::vector<std::string>{"follower failed"});
}

TEST_F(SideBySide, AFailedLeadStopsTheFollowerWhichKeepsItsFilesAndIsNotSeen) {
    int followerTool = 0;
    bool followerWentOn = false;
    const bool went = RunSideBySide(
        ctx,
        [&] {
            AwaitFile(marker);
            return false;
        },
        [&] {
            ctx.Progress("follower before");
            followerTool = ctx.runner.RunWait(FlockThenSleep(marker), 0);
            ctx.Checkpoint();
            followerWentOn = true;
            return true;
        });
    EXPECT_FALSE(went);
    EXPECT_EQ(followerTool, -1);
    EXPECT_FALSE(followerWentOn);
    EXPECT_TRUE(FileFound(marker));
    EXPECT_TRUE(host.journal.empty());
}

TEST_F(SideBySide, CancellingStopsBothAndKeepsTheirFiles) {
    host.cancelWhen = [&] { return FileFound(marker); };
    int leadTool = 0, followerTool = 0;
    bool anyWentOn = false;
    const bool went = RunSideBySide(
        ctx,
        [&] {
            leadTool = ctx.runner.RunWait(Sleep(60), 0);
            ctx.Progress("lead after its tool");
            anyWentOn = true;
            return true;
        },
        [&] {
            followerTool = ctx.runner.RunWait(FlockThenSleep(marker), 0);
            ctx.Checkpoint();
            anyWentOn = true;
            return true;
        });
    EXPECT_FALSE(went);
    EXPECT_EQ(leadTool, -1);
    EXPECT_EQ(followerTool, -1);
    EXPECT_FALSE(anyWentOn);
    EXPECT_TRUE(FileFound(marker));
}

TEST_F(SideBySide, AnExceptionOfTheFollowerStopsTheLeadAndIsThrownOnTheCallersThread) {
    int leadTool = 0;
    EXPECT_THROW(RunSideBySide(
                     ctx,
                     [&] {
                         leadTool = ctx.runner.RunWait(Sleep(60), 0);
                         return true;
                     },
                     [&]() -> bool { throw std::runtime_error("disk gone"); }),
                 std::runtime_error);
    EXPECT_EQ(leadTool, -1);
}

// The MP4 chain with its audio beside the extraction shows and logs what it showed one step
// after the other: here the decoder fails on the fake source and the backup method runs.
class Mp4ChainSideBySide : public PipelineTest {};

TEST_F(Mp4ChainSideBySide, ShowsAndLogsInTheOrderOfTheChain) {
    Prepare(0, 0);  // AC-3 on the PS3: the extraction takes the video only
    std::vector<std::string> shown;
    form.txtProgress.onChange = [&](const Control& c) { shown.push_back(c.text()); };
    prog.Rules()
        .Write("mkvextract", "cut:1:", 2048)
        .Write("mkvextract", "cut:2:", 512)
        .Write("valdec", "after:-wav", 1024)
        .Write("FFmpeg", "arg:-1", 256)
        .Write("MP4Box", "arg:-3", 4096);
    ConvertMkv(ctx);
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "Extracting video/audio stream", "Adjusting header", "0 Bytes WAV written",
                         "Extracting audio with backup method.", "Encoding Audio", "Creating MP4",
                         "Cleaning temporary files", "Conversion done"}));
    ASSERT_EQ(Commands().size(), 5u);
    const std::string log = ReadWholeFile(ctx.ToolPath(tool::kDebugLog));
    const size_t extraction = log.find(W("movie.h264"));
    const size_t decoderError = log.find("AC3Filter");
    const size_t mux = log.find(Commands().back());
    EXPECT_NE(Commands().back().find("MP4Box"), std::string::npos);
    EXPECT_LT(extraction, decoderError);
    EXPECT_LT(decoderError, mux);
    EXPECT_NE(mux, std::string::npos);
    EXPECT_TRUE(Exists("Film_2008.mp4"));
    EXPECT_FALSE(Exists("movie.h264") || Exists("movie.aac") || Exists("movie.ac3"));
}

}  // namespace
}  // namespace kestrun::test
