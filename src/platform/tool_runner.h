#pragma once
// The only code that starts processes. A command line stays one string, exactly as the stage built
// it (that string is what the log shows and what tests compare); it is split into arguments by the
// Windows C runtime rules and the program is started directly, never through a shell.
//
// Two threads may run tools at the same time (two stage sequences side by side); the pump runs
// only on the thread that set it, and StopRunningTool stops every tool that runs.
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestrun {

// What RunCapture returns when the program cannot be started.
inline constexpr std::string_view kCreateProcessFailed =
    "Failed to create process, check the path of the command line.";

// Splits a command line as the Windows C runtime does: blanks separate arguments, double quotes
// group (and "" inside quotes gives a literal quote), 2n backslashes before a quote give n
// backslashes and a toggle, 2n+1 give n backslashes and a literal quote.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

class ToolRunner {
public:
    using Pump = std::function<void()>;

    // toolLog: file that receives the standard output and error of RunWait/RunWaitHidden tools
    // (appended); empty sends them to /dev/null.
    explicit ToolRunner(std::string toolLog = {});

    // Called every `interval` while a tool started on the calling thread runs, so the window can
    // repaint or the CLI report.
    void SetPump(Pump pump, std::chrono::milliseconds interval = std::chrono::milliseconds(50));
    void SetToolLog(std::string toolLog);
    // "NAME=value" entries put before the inherited environment of every tool started.
    void SetEnvironment(std::vector<std::string> entries);
    // While it lasts, tools started on the calling thread (another one than the pump's) call
    // `pump` every interval while they run.
    class ThreadPump {
    public:
        explicit ThreadPump(Pump pump);
        ~ThreadPump();
        ThreadPump(const ThreadPump&) = delete;
        ThreadPump& operator=(const ThreadPump&) = delete;

    private:
        Pump pump_;
        const Pump* previous_;
    };

    // While it lasts, the output of tools started on the calling thread goes to `toolLog` instead
    // of the runner's tool log.
    class ThreadToolLog {
    public:
        explicit ThreadToolLog(std::string toolLog);
        ~ThreadToolLog();
        ThreadToolLog(const ThreadToolLog&) = delete;
        ThreadToolLog& operator=(const ThreadToolLog&) = delete;

    private:
        std::string toolLog_;
        const std::string* previous_;
    };
    const std::string& ToolLog() const { return toolLog_; }

    // Called with every command line, exactly as given, before the tool is started (one call at a
    // time).
    void SetObserver(std::function<void(const std::string& commandLine)> observer);
    // While set, every line a RunWait tool started on the setting thread writes to standard output
    // (ended by a line feed or a carriage return) is passed on while the tool runs, and still goes
    // to the tool log.
    using OutputListener = std::function<void(std::string_view line)>;
    void SetOutputListener(OutputListener listener);

    // Runs the tool and returns what it wrote to standard output (standard error too when asked),
    // read until the pipe closes. kCreateProcessFailed when it cannot start.
    std::string RunCapture(const std::string& commandLine, bool captureStdout = true,
                           bool captureStderr = false, bool oemText = true);

    // Runs the tool at the priority of the window's priority list (1 = "High", anything else is
    // below normal) and returns its exit code; -1 at once when it cannot start, and -1 when it
    // was stopped by a signal.
    int RunWait(const std::string& commandLine, int priorityIndex);
    void RunWaitHidden(const std::string& commandLine, int priorityIndex);

    // Stops the running tools (from the window's close handler, inside a pump call): each tool
    // and everything it started get SIGTERM, and SIGKILL when they are still there after
    // kStopGrace. The interrupted RunWait then returns -1.
    void StopRunningTool();

    static constexpr std::chrono::milliseconds kStopGrace{2000};

private:
    struct RunningTool {
        int pid = -1;
        bool stopRequested = false;
        std::chrono::steady_clock::time_point stopDeadline{};
    };

    int Run(const std::string& commandLine, int priorityIndex);
    int WaitPumping(int pid, int outputFd = -1, int logFd = -1);
    void DrainOutput(int outputFd, int logFd, std::string& partialLine);
    void KillIfGraceOver(int pid);
    void Notify(const std::string& commandLine);
    void Started(int pid);
    void Ended(int pid);

    std::string toolLog_;
    std::vector<std::string> environment_;
    Pump pump_;
    std::thread::id pumpThread_;
    std::mutex observerMutex_;
    std::function<void(const std::string&)> observer_;
    OutputListener outputListener_;
    std::thread::id listenerThread_;
    std::chrono::milliseconds interval_{50};
    std::mutex runningMutex_;
    std::vector<RunningTool> running_;
};

// The part of a path after its last separator (the whole text when it has none).
std::string FileNameOf(std::string_view path);
// The part of a path before its last separator ("." when it has none).
std::string FolderOf(std::string_view path);
// True when the file's length can be read: it exists and is a file; false for an empty path.
bool FileFound(const std::string& path);

}  // namespace kestrun
