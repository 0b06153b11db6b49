#include "engine_process.h"

#include <cstdio>

#include "base/child_process.h"

namespace standin {

int RunReadingLines(const std::vector<std::string>& argv,
                    const std::function<void(std::string_view)>& onLine) {
    std::string line;
    const int code = kestrun::child::RunReading(argv, 1, [&](const char* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\n' || data[i] == '\r') {
                if (!line.empty()) onLine(line);
                line.clear();
            } else {
                line += data[i];
            }
        }
    });
    if (!line.empty()) onLine(line);
    return code;
}

std::string ProgressLine(double seconds, long long frames, int percent, double fps,
                         double minutesLeft) {
    char text[160];
    std::snprintf(text, sizeof text, "Pos: %6.1fs %6lldf (%2d%%) %6.2ffps Trem: %4dmin", seconds,
                  frames, percent, fps, static_cast<int>(minutesLeft + 0.5));
    return text;
}

}  // namespace standin
