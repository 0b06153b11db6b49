// The waiting side of the decoder: pumping, steady reports, and leaving cleanly.
#include "decoder/progress_wait.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "decoder/decode_to_wav.h"

namespace kestrun {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(RunWithProgress, PumpsAndReportsSteadilyThenOnceMoreAtTheEnd) {
    std::atomic<std::int64_t> counter{0};
    std::atomic<bool> stop{false};
    std::vector<Clock::time_point> reportTimes;
    std::vector<std::int64_t> reports;
    int pumps = 0;
    const auto started = Clock::now();

    RunWithProgress(
        [&] {
            for (int i = 1; i <= 12; ++i) {
                std::this_thread::sleep_for(50ms);
                counter = i * 1000;
            }
        },
        counter,
        [&](std::int64_t value) {
            reports.push_back(value);
            reportTimes.push_back(Clock::now());
        },
        [&] { ++pumps; }, stop, ProgressCadence{150ms, 10ms});

    EXPECT_GE(pumps, 20);
    ASSERT_GE(reports.size(), 4u);
    EXPECT_EQ(reports.back(), 12000);  // the final reading
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    auto previous = started;
    for (const auto at : reportTimes) {
        EXPECT_LT(at - previous, 300ms);
        previous = at;
    }
}

TEST(RunWithProgress, CallbackFailureStopsTheWorkAndIsPassedOn) {
    std::atomic<std::int64_t> counter{0};
    std::atomic<bool> stop{false};
    bool workSawStop = false;
    const auto work = [&] {
        while (!stop) std::this_thread::sleep_for(5ms);
        workSawStop = true;
    };
    const auto failingPump = [] { throw std::runtime_error("window closed"); };
    EXPECT_THROW(RunWithProgress(work, counter, {}, failingPump, stop, ProgressCadence{1s, 10ms}),
                 std::runtime_error);
    EXPECT_TRUE(workSawStop);
}

TEST(RunWithProgress, WorkFailureIsPassedOnAfterTheWorkerEnded) {
    std::atomic<std::int64_t> counter{0};
    std::atomic<bool> stop{false};
    EXPECT_THROW(RunWithProgress([] { throw std::logic_error("bug"); }, counter, {}, {}, stop),
                 std::logic_error);
}

TEST(WavProgressText, IsTheNumberThenTheFixedText) {
    EXPECT_EQ(WavProgressText(1048576), "1048576 Bytes WAV written");
    EXPECT_EQ(WavProgressText(0), "0 Bytes WAV written");
}

}  // namespace
}  // namespace kestrun
