#include "pipeline/side_by_side.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/stages.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

// Thrown inside a sequence that is to go no further; it never leaves this unit.
struct Stopped {};

enum class Ending { None, LeadFailed, FollowerFailed, Cancelled };

// What the two sequences share.
struct Shared {
    explicit Shared(Context& c) : ctx(c) {}

    Context& ctx;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> heldBack;  // the follower's, for the window's thread
    bool followerDone = false;
    std::atomic<bool> leadStopped{false};
    std::atomic<bool> followerStopped{false};
    std::atomic<Ending> ending{Ending::None};

    // The first failure or cancel decides: the other sequence (both, for a cancel) goes no
    // further and its tools are stopped. Only the follower's own failure is announced from its
    // thread, so the follower is stopped only from the window's thread.
    void End(Ending why) {
        Ending none = Ending::None;
        if (!ending.compare_exchange_strong(none, why)) return;
        {
            std::lock_guard lock(mutex);
            if (why != Ending::LeadFailed) leadStopped = true;
            if (why != Ending::FollowerFailed) followerStopped = true;
        }
        changed.notify_all();
        ctx.runner.StopRunningTool();
    }
};

// The window as such, for a call made on behalf of a sequence.
struct Window {
    Window() : scope(nullptr) {}
    BranchScope scope;
};

// The lead's way to the person: straight through, on the window's thread.
class LeadBranch : public Branch {
public:
    explicit LeadBranch(Shared& shared) : s_(shared) {}

    void Progress(const std::string& text) override {
        Checkpoint();
        Window window;
        s_.ctx.Progress(text);
    }
    void Log(const std::string& text) override {
        Checkpoint();
        Window window;
        s_.ctx.Log(text);
    }
    void Checkpoint() override {
        if (s_.leadStopped) throw Stopped{};
    }
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons) override {
        Checkpoint();
        Window window;
        return s_.ctx.host.MsgBox(text, title, icon, buttons);
    }
    std::string OpenFile(const OpenFileRequest& request) override {
        Checkpoint();
        Window window;
        return s_.ctx.host.OpenFile(request);
    }
    std::string BrowseForFolder(const std::string& title) override {
        Checkpoint();
        Window window;
        return s_.ctx.host.BrowseForFolder(title);
    }
    void Repaint() override {
        Window window;
        s_.ctx.host.Repaint();
    }
    // Also the pump of the lead's tool runs: it never throws there, it only stops the tools (a
    // tool started just after the follower failed included).
    void DoEvents() override {
        Window window;
        s_.ctx.host.DoEvents();
        if (s_.ctx.host.StopRequested()) s_.End(Ending::Cancelled);
        if (s_.leadStopped) s_.ctx.runner.StopRunningTool();
    }
    void SetTopmost(bool on) override {
        Window window;
        s_.ctx.host.SetTopmost(on);
    }
    void Sleep(int milliseconds) override {
        Checkpoint();
        Window window;
        s_.ctx.host.Sleep(milliseconds);
    }
    void ShowAc3FilterOptions() override {
        Checkpoint();
        Window window;
        s_.ctx.host.ShowAc3FilterOptions();
    }
    bool StopRequested() const override {
        Window window;
        return s_.leadStopped || s_.ctx.host.StopRequested();
    }

private:
    Shared& s_;
};

// The follower's way to the person: held back for the window's thread, in order. A call that
// needs an answer waits until the window's thread has made it.
class FollowerBranch : public Branch {
public:
    explicit FollowerBranch(Shared& shared) : s_(shared) {}

    void Progress(const std::string& text) override {
        HoldBack([this, text] { s_.ctx.Progress(text); });
    }
    void Log(const std::string& text) override {
        HoldBack([this, text] { s_.ctx.Log(text); });
    }
    void Checkpoint() override {
        if (s_.followerStopped) throw Stopped{};
    }
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons) override {
        if (buttons == MsgButtons::Ok) {
            HoldBack([=, this] { s_.ctx.host.MsgBox(text, title, icon, buttons); });
            return MsgResult::Ok;
        }
        MsgResult result = MsgResult::No;
        Answered([&] { result = s_.ctx.host.MsgBox(text, title, icon, buttons); });
        return result;
    }
    std::string OpenFile(const OpenFileRequest& request) override {
        std::string result;
        Answered([&] { result = s_.ctx.host.OpenFile(request); });
        return result;
    }
    std::string BrowseForFolder(const std::string& title) override {
        std::string result;
        Answered([&] { result = s_.ctx.host.BrowseForFolder(title); });
        return result;
    }
    void Repaint() override {
        HoldBack([this] { s_.ctx.host.Repaint(); });
    }
    // The window's thread pumps for both sequences.
    void DoEvents() override { Checkpoint(); }
    void SetTopmost(bool on) override {
        HoldBack([this, on] { s_.ctx.host.SetTopmost(on); });
    }
    void Sleep(int milliseconds) override {
        Answered([&] { s_.ctx.host.Sleep(milliseconds); });
    }
    void ShowAc3FilterOptions() override {
        Answered([&] { s_.ctx.host.ShowAc3FilterOptions(); });
    }
    bool StopRequested() const override { return s_.followerStopped; }

private:
    void HoldBack(std::function<void()> call) {
        Checkpoint();
        {
            std::lock_guard lock(s_.mutex);
            s_.heldBack.push_back(std::move(call));
        }
        s_.changed.notify_all();
    }

    void Answered(const std::function<void()>& call) {
        bool done = false;
        HoldBack([&] {
            call();
            std::lock_guard lock(s_.mutex);
            done = true;
        });
        std::unique_lock lock(s_.mutex);
        s_.changed.wait(lock, [&] { return done || s_.followerStopped; });
        if (!done) throw Stopped{};
    }

    Shared& s_;
};

// On the window's thread once the lead has ended: makes the follower's held-back calls (or drops
// them when it is not to be seen) and pumps events until the follower has ended.
void ServeFollower(Shared& s, bool shown) {
    constexpr auto kPumpInterval = std::chrono::milliseconds(50);
    for (;;) {
        std::unique_lock lock(s.mutex);
        s.changed.wait_for(lock, kPumpInterval,
                           [&] { return !s.heldBack.empty() || s.followerDone; });
        std::deque<std::function<void()>> calls;
        calls.swap(s.heldBack);
        const bool done = s.followerDone;
        lock.unlock();
        // A call that waits for its answer belongs to a follower still waiting: once the
        // follower is stopped it has gone on, and its calls are dropped.
        for (auto& call : calls) {
            if (shown && !s.followerStopped) call();
        }
        s.changed.notify_all();
        if (done) {
            std::lock_guard again(s.mutex);
            if (s.heldBack.empty()) return;
            continue;
        }
        s.ctx.host.DoEvents();
        if (s.ctx.host.StopRequested()) s.End(Ending::Cancelled);
    }
}

// The follower's tools write their output apart, into a file of this conversion's own beside the
// tool log (another conversion from the same program folder may be running side by side too); it
// joins the tool log after the lead's. Empty, and the follower's tool output is not kept, when
// there is no tool log or no file can be made beside it.
std::string MakeFollowerToolLog(const Context& ctx) {
    const std::string& toolLog = ctx.runner.ToolLog();
    if (toolLog.empty()) return {};
    std::string name = toolLog + ".follower-XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return {};
    close(fd);
    return name;
}

void AppendFollowerToolLog(const Context& ctx, const std::string& spool) {
    if (spool.empty()) return;
    {
        std::ifstream in(spool, std::ios::binary);
        if (in) {
            std::ofstream out(ctx.runner.ToolLog(), std::ios::binary | std::ios::app);
            out << in.rdbuf();
        }
    }
    std::remove(spool.c_str());
}

}  // namespace

bool RunSideBySide(Context& ctx, const StageSequence& lead, const StageSequence& follower) {
    Shared shared(ctx);
    LeadBranch leadBranch(shared);
    FollowerBranch followerBranch(shared);

    const std::string followerToolLog = MakeFollowerToolLog(ctx);
    bool followerWent = false;
    std::exception_ptr followerError;
    std::thread thread([&] {
        {
            BranchScope scope(&followerBranch);
            ToolRunner::ThreadToolLog toolLog(followerToolLog);
            // A tool started just before the follower was stopped ends all the same.
            ToolRunner::ThreadPump pump([&] {
                if (shared.followerStopped) ctx.runner.StopRunningTool();
            });
            try {
                followerWent = follower();
            } catch (const Stopped&) {
            } catch (...) {
                followerError = std::current_exception();
            }
        }
        if (!followerWent) shared.End(Ending::FollowerFailed);
        {
            std::lock_guard lock(shared.mutex);
            shared.followerDone = true;
        }
        shared.changed.notify_all();
    });

    bool leadWent = false;
    std::exception_ptr leadError;
    {
        BranchScope scope(&leadBranch);
        try {
            leadWent = lead();
        } catch (const Stopped&) {
        } catch (...) {
            leadError = std::current_exception();
        }
    }
    if (!leadWent) shared.End(Ending::LeadFailed);

    const Ending ending = shared.ending;
    std::exception_ptr windowError;
    try {
        ServeFollower(shared, ending == Ending::None || ending == Ending::FollowerFailed);
    } catch (...) {
        // A held-back call failed on the window's thread: the follower is stopped and waited for.
        windowError = std::current_exception();
        shared.End(Ending::Cancelled);
        {
            std::lock_guard lock(shared.mutex);
            shared.followerStopped = true;
        }
        shared.changed.notify_all();
        ServeFollower(shared, false);
    }
    thread.join();
    AppendFollowerToolLog(ctx, followerToolLog);
    if (windowError) std::rethrow_exception(windowError);
    if (leadError) std::rethrow_exception(leadError);
    if (followerError) std::rethrow_exception(followerError);
    return shared.ending == Ending::None;
}

namespace {

// The extraction and the video steps after it (`videoSteps`) beside the audio steps, then `rest`
// with the conversion as the audio steps, which came after the extraction, left it.
void ExtractionBesideAudio(Context& ctx, Conversion& conv, const std::function<void()>& videoSteps,
                           const std::function<void(Conversion&)>& audioSteps,
                           const std::function<void(Conversion&)>& rest) {
    Conversion audio = conv;
    const bool went = RunSideBySide(
        ctx,
        [&] {
            ExtractStreams(ctx, conv);
            ctx.Log(conv.lastCommand);
            videoSteps();
            return true;
        },
        [&] {
            audioSteps(audio);
            return true;
        });
    if (!went) return;  // cancelled: the intermediate files stay
    if (audio.lastCommand.empty()) audio.lastCommand = conv.lastCommand;
    conv = audio;
    rest(conv);
}

}  // namespace

bool RunMp4ChainSideBySide(Context& ctx, Conversion& conv) {
    const Form1& f = ctx.form;
    if (ReencodesVideo(f) || f.chkAVCHD.value() == 1 || f.chkVob.value() == 1 ||
        ExtractionTakesAudio(ctx, conv))
        return false;
    ExtractionBesideAudio(
        ctx, conv,
        [&] {
            ctx.Progress(std::string(msg::kAdjustingHeader));
            PatchSpsLevel(
                Work(ctx, ctx.analysis.bVfwMode ? work::kMovieVideoH264 : work::kMovieH264));
        },
        [&](Conversion& audio) { ConvertAudioForMp4(ctx, audio); },
        [&](Conversion& done) { MuxMp4(ctx, done); });
    return true;
}

bool RunAvchdChainSideBySide(Context& ctx, Conversion& conv) {
    const Form1& f = ctx.form;
    if (ReencodesVideo(f) || f.chkAVCHD.value() != 1 || !AvchdConvertsAudio(conv) ||
        ExtractionTakesAudio(ctx, conv))
        return false;
    ExtractionBesideAudio(
        ctx, conv, [] {},
        [&](Conversion& audio) {
            ctx.Progress(std::string(msg::kCreatingAvchd));
            ConvertAudioForAvchd(ctx, audio);
        },
        [&](Conversion& done) { FinishAvchdChain(ctx, done); });
    return true;
}

}  // namespace kestrun
