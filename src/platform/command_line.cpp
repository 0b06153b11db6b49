#include "platform/tool_runner.h"

namespace kestrun {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// The program name is split by the same rules as every other argument. The runtime's own rule for
// it (a quoted name runs to the next quote, backslashes taken literally) gives another result
// only when backslashes stand right before a quote, that is for a path ending in a backslash; no
// tool path does, and paths holding a quote are refused before any command line is built.
std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> arguments;
    std::size_t pos = 0;
    const std::size_t end = commandLine.size();
    for (;;) {
        while (pos < end && IsBlank(commandLine[pos])) ++pos;
        if (pos >= end) break;

        std::string argument;
        bool inQuotes = false;
        for (;;) {
            std::size_t backslashes = 0;
            while (pos < end && commandLine[pos] == '\\') {
                ++backslashes;
                ++pos;
            }
            bool copyChar = true;
            if (pos < end && commandLine[pos] == '"') {
                if (backslashes % 2 == 0) {
                    if (inQuotes && pos + 1 < end && commandLine[pos + 1] == '"') {
                        ++pos;  // "" inside quotes: one literal quote, still quoted
                    } else {
                        copyChar = false;
                        inQuotes = !inQuotes;
                    }
                }
                backslashes /= 2;
            }
            argument.append(backslashes, '\\');
            if (pos >= end || (!inQuotes && IsBlank(commandLine[pos]))) break;
            if (copyChar) argument += commandLine[pos];
            ++pos;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

}  // namespace kestrun
