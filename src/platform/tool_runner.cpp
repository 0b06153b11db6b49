#include "platform/tool_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "base/child_process.h"

namespace kestrun {
namespace {

constexpr std::size_t kReadChunk = 1024;
constexpr int kHighPriorityIndex = 1;
constexpr int kHighNice = -5;
constexpr int kBelowNormalNice = 10;

int NiceFor(int priorityIndex) {
    return priorityIndex == kHighPriorityIndex ? kHighNice : kBelowNormalNice;
}

// Text is UTF-8 on both sides, so the OEM and ANSI conversions keep the bytes as they are; a
// character cut by a chunk boundary is joined again by the next chunk.
void AppendChunk(std::string& text, const char* bytes, std::size_t count, bool /*oemText*/) {
    text.append(bytes, count);
}

std::string ReadUntilClosed(int fd, bool oemText) {
    std::string text;
    char buffer[kReadChunk];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        AppendChunk(text, buffer, static_cast<std::size_t>(n), oemText);
    }
    return text;
}

// The tool log, or kNullStream when there is none or it cannot be opened.
int OpenToolLog(const std::string& toolLog) {
    if (toolLog.empty()) return child::kNullStream;
    int fd = open(toolLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    return fd < 0 ? child::kNullStream : fd;
}

thread_local const ToolRunner::Pump* t_threadPump = nullptr;
thread_local const std::string* t_threadToolLog = nullptr;

}  // namespace

ToolRunner::ThreadPump::ThreadPump(Pump pump) : pump_(std::move(pump)), previous_(t_threadPump) {
    t_threadPump = &pump_;
}

ToolRunner::ThreadPump::~ThreadPump() { t_threadPump = previous_; }

ToolRunner::ThreadToolLog::ThreadToolLog(std::string toolLog)
    : toolLog_(std::move(toolLog)), previous_(t_threadToolLog) {
    t_threadToolLog = &toolLog_;
}

ToolRunner::ThreadToolLog::~ThreadToolLog() { t_threadToolLog = previous_; }

ToolRunner::ToolRunner(std::string toolLog) : toolLog_(std::move(toolLog)) {}

void ToolRunner::SetPump(Pump pump, std::chrono::milliseconds interval) {
    pump_ = std::move(pump);
    pumpThread_ = std::this_thread::get_id();
    interval_ = interval.count() > 0 ? interval : std::chrono::milliseconds(1);
}

void ToolRunner::SetToolLog(std::string toolLog) { toolLog_ = std::move(toolLog); }

void ToolRunner::SetEnvironment(std::vector<std::string> entries) {
    environment_ = std::move(entries);
}

void ToolRunner::SetObserver(std::function<void(const std::string&)> observer) {
    observer_ = std::move(observer);
}

void ToolRunner::Notify(const std::string& commandLine) {
    std::lock_guard lock(observerMutex_);
    if (observer_) observer_(commandLine);
}

void ToolRunner::Started(int pid) {
    std::lock_guard lock(runningMutex_);
    running_.push_back(RunningTool{pid});
}

void ToolRunner::Ended(int pid) {
    std::lock_guard lock(runningMutex_);
    std::erase_if(running_, [pid](const RunningTool& tool) { return tool.pid == pid; });
}

std::string ToolRunner::RunCapture(const std::string& commandLine, bool captureStdout,
                                   bool captureStderr, bool oemText) {
    if (!captureStdout && !captureStderr) {
        throw std::invalid_argument("RunCapture: neither output stream is to be captured");
    }
    Notify(commandLine);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    child::Streams streams;
    if (captureStdout) streams.out = pipeFds[1];
    if (captureStderr) streams.err = pipeFds[1];

    child::StartOptions options;
    options.streams = streams;
    options.extraEnvironment = environment_;
    child::Started started = child::Start(SplitCommandLine(commandLine), options);
    close(pipeFds[1]);  // the pipe breaks when the tool (and what it started) closes its copies
    if (!started.Ok()) {
        close(pipeFds[0]);
        return std::string(kCreateProcessFailed);
    }
    Started(started.pid);
    std::string text = ReadUntilClosed(pipeFds[0], oemText);
    close(pipeFds[0]);
    child::WaitBlocking(started.pid);
    Ended(started.pid);
    return text;
}

int ToolRunner::RunWait(const std::string& commandLine, int priorityIndex) {
    return Run(commandLine, priorityIndex);
}

void ToolRunner::RunWaitHidden(const std::string& commandLine, int priorityIndex) {
    Run(commandLine, priorityIndex);
}

void ToolRunner::SetOutputListener(OutputListener listener) {
    outputListener_ = std::move(listener);
    listenerThread_ = std::this_thread::get_id();
}

int ToolRunner::Run(const std::string& commandLine, int priorityIndex) {
    Notify(commandLine);
    int logFd = OpenToolLog(t_threadToolLog ? *t_threadToolLog : toolLog_);
    int pipeFds[2] = {-1, -1};
    // The listener belongs to the thread that set it: a tool of another thread is not listened to.
    const bool listening = outputListener_ && std::this_thread::get_id() == listenerThread_ &&
                           pipe2(pipeFds, O_CLOEXEC) == 0;
    if (listening) fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    child::StartOptions options;
    options.streams = {listening ? pipeFds[1] : logFd, logFd};
    options.niceValue = NiceFor(priorityIndex);
    options.extraEnvironment = environment_;
    child::Started started = child::Start(SplitCommandLine(commandLine), options);
    if (listening) close(pipeFds[1]);
    int exitCode = -1;
    if (started.Ok()) exitCode = WaitPumping(started.pid, listening ? pipeFds[0] : -1, logFd);
    if (listening) close(pipeFds[0]);
    if (logFd != child::kNullStream) close(logFd);
    return exitCode;
}

int ToolRunner::WaitPumping(int pid, int outputFd, int logFd) {
    Started(pid);
    const Pump* pump = std::this_thread::get_id() == pumpThread_ ? &pump_ : t_threadPump;
    const bool pumps = pump && *pump;
    std::string partialLine;
    int exitCode = -1;
    for (;;) {
        if (child::TryReap(pid, exitCode)) break;
        child::WaitForEndOrTimeout(pid, interval_);
        if (outputFd >= 0) DrainOutput(outputFd, logFd, partialLine);
        if (child::TryReap(pid, exitCode)) break;
        if (pumps) (*pump)();
        KillIfGraceOver(pid);
    }
    if (outputFd >= 0) DrainOutput(outputFd, logFd, partialLine);
    if (!partialLine.empty() && outputListener_) outputListener_(partialLine);
    Ended(pid);
    return exitCode;
}

void ToolRunner::DrainOutput(int outputFd, int logFd, std::string& partialLine) {
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t n = read(outputFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nothing more for now, or the pipe closed
        if (logFd != child::kNullStream && write(logFd, buffer, static_cast<size_t>(n)) < 0) {
            // The log is best effort; the tool's work does not depend on it.
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n' && buffer[i] != '\r') {
                partialLine += buffer[i];
                continue;
            }
            if (!partialLine.empty() && outputListener_) outputListener_(partialLine);
            partialLine.clear();
        }
    }
}

void ToolRunner::StopRunningTool() {
    std::lock_guard lock(runningMutex_);
    for (RunningTool& tool : running_) {
        if (tool.stopRequested) continue;
        tool.stopRequested = true;
        tool.stopDeadline = std::chrono::steady_clock::now() + kStopGrace;
        child::SignalGroup(tool.pid, SIGTERM);
    }
}

void ToolRunner::KillIfGraceOver(int pid) {
    std::lock_guard lock(runningMutex_);
    for (const RunningTool& tool : running_) {
        if (tool.pid == pid && tool.stopRequested &&
            std::chrono::steady_clock::now() >= tool.stopDeadline)
            child::SignalGroup(pid, SIGKILL);
    }
}

std::string FileNameOf(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FolderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string(".") : std::string(path.substr(0, slash));
}

bool FileFound(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace kestrun
