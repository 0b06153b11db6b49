#pragma once
// Running the encoding engine with its standard output read line by line (lines end with a
// carriage return or a line feed), so that its progress can be shown as it goes.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// Runs argv (no shell, standard input from /dev/null, standard error inherited) and calls
// onLine for every line of its standard output. Returns the exit code as RunProgram does.
int RunReadingLines(const std::vector<std::string>& argv,
                    const std::function<void(std::string_view)>& onLine);

// "Pos:   12.0s    288f ( 40%)  24.00fps Trem:   3min   0mb" : MEncoder's own progress line,
// which both engines show.
std::string ProgressLine(double seconds, long long frames, int percent, double fps,
                         double minutesLeft);

}  // namespace standin
