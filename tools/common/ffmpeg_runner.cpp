#include "common/ffmpeg_runner.h"

#include <unistd.h>

#include <array>
#include <string_view>

#include "common/fail.h"
#include "common/output_guard.h"
#include "common/run_program.h"

namespace standin {
namespace {

constexpr int kNotStarted = 127;

// FFmpeg 5.1 reports some write failures (a full disk while the last buffer or the trailer is
// written) only as a message and still exits with 0. These are the messages that mean the output
// is incomplete.
constexpr std::array<std::string_view, 5> kWriteFailureMessages = {
    "Error writing trailer", "Error closing file", "No space left on device", "Disk quota exceeded",
    "Input/output error"};

// Collects FFmpeg's messages line by line and remembers whether one of them reported a failed
// write.
class MessageWatch {
public:
    void Take(const char* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\n' || data[i] == '\r') {
                CheckLine();
                line_.clear();
            } else if (line_.size() < 4096) {
                line_ += data[i];
            }
        }
    }
    void Finish() { CheckLine(); }
    bool SawWriteFailure() const { return writeFailed_; }

private:
    void CheckLine() {
        for (const auto message : kWriteFailureMessages) {
            if (line_.find(message) != std::string::npos) writeFailed_ = true;
        }
    }
    std::string line_;
    bool writeFailed_ = false;
};

}  // namespace

std::vector<std::string> FfmpegCommandHead() {
    return {kFfmpegProgram, "-nostdin", "-y", "-hide_banner", "-nostats", "-loglevel", "error"};
}

int RunFfmpegForTool(const std::string& tool, const std::string& what,
                     const std::vector<std::string>& args,
                     const std::vector<std::string>& outputs) {
    const OutputGuard guard(outputs);
    MessageWatch watch;
    // FFmpeg's messages are watched and passed on to our own standard error.
    const int exitCode = RunProgramReadingErrors(args, [&watch](const char* data, size_t size) {
        watch.Take(data, size);
        [[maybe_unused]] const ssize_t written = ::write(2, data, size);
    });
    watch.Finish();
    if (exitCode == 0 && !watch.SawWriteFailure()) return 0;
    if (exitCode == kNotStarted)
        Fail(tool, what + " failed: cannot start " + args.front());
    else if (exitCode == 0)
        Fail(tool, what + " failed: the output could not be written completely");
    else
        Fail(tool, what + " failed (FFmpeg exit code " + std::to_string(exitCode) + ")");
    guard.RemoveWrittenOutputs();
    return 1;
}

}  // namespace standin
