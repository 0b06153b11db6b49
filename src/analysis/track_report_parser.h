#pragma once
// ParseMkvInfo: reads mkvinfo's track report (legacy layout) into the analysis state and the
// window's track controls. The report is a line layout read by key phrases and fixed cut
// positions; every pass starts again from the report's first line.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun {

struct Analysis;
struct Context;
class Form1;

using ParseLog = std::function<void(const std::string& line)>;

// The four passes and the window update over the report's lines; `log` receives what the parse
// writes to debug.log.
void ParseTrackReport(const std::vector<std::string>& lines, Analysis& analysis, Form1& form,
                      const ParseLog& log);

// The frame rate of a default-duration line: six characters from character 34 when the duration
// has two digits before its decimal point (the layout the cut was made for), otherwise the number
// inside the parentheses; "unknown" where the report says it knows none.
std::string FrameRateText(const std::string& line);

// The report's lines with their line ends (LF or CR LF) removed.
std::vector<std::string> SplitReportLines(std::string_view text);

// Reads the report "info.txt" of the program folder, parses it with debug.log of the program
// folder as the log, and deletes the report. A missing report parses as an empty one.
void ParseMkvInfo(Context& ctx);

}  // namespace kestrun
