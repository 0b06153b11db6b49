#pragma once
// Runs a piece of work on a worker thread while the calling thread pumps its events and reports
// a counter at a steady pace.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace kestrun {

struct ProgressCadence {
    std::chrono::milliseconds report{1000};
    std::chrono::milliseconds pump{50};
};

// pump() every cadence.pump, progress(counter) every cadence.report and once more after the work
// has returned. When a callback throws, `stop` is raised (the work is expected to watch it), the
// worker is waited for and the exception passed on. An exception from `work` is passed on too.
void RunWithProgress(const std::function<void()>& work, const std::atomic<std::int64_t>& counter,
                     const std::function<void(std::int64_t)>& progress,
                     const std::function<void()>& pump, std::atomic<bool>& stop,
                     ProgressCadence cadence = {});

}  // namespace kestrun
