#include "decoder/progress_wait.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace kestrun {
namespace {

class Worker {
public:
    Worker(const std::function<void()>& work, std::atomic<bool>& stop)
        : stop_(stop), thread_([this, &work] { Run(work); }) {}

    // Leaving early (a callback threw) asks the work to stop before waiting for it.
    ~Worker() {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
    }

    // True when the work has finished; otherwise waits at most `timeout`.
    bool WaitFor(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return finishedChanged_.wait_for(lock, timeout, [this] { return finished_; });
    }

    void JoinAndRethrow() {
        thread_.join();
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    void Run(const std::function<void()>& work) {
        try {
            work();
        } catch (...) {
            failure_ = std::current_exception();
        }
        std::lock_guard lock(mutex_);
        finished_ = true;
        finishedChanged_.notify_all();
    }

    std::atomic<bool>& stop_;
    std::mutex mutex_;
    std::condition_variable finishedChanged_;
    bool finished_ = false;
    std::exception_ptr failure_;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace

void RunWithProgress(const std::function<void()>& work, const std::atomic<std::int64_t>& counter,
                     const std::function<void(std::int64_t)>& progress,
                     const std::function<void()>& pump, std::atomic<bool>& stop,
                     ProgressCadence cadence) {
    using Clock = std::chrono::steady_clock;
    Worker worker(work, stop);
    auto nextReport = Clock::now() + cadence.report;
    while (!worker.WaitFor(cadence.pump)) {
        if (pump) pump();
        if (Clock::now() >= nextReport) {
            if (progress) progress(counter.load());
            nextReport = Clock::now() + cadence.report;
        }
    }
    worker.JoinAndRethrow();
    if (progress) progress(counter.load());
}

}  // namespace kestrun
