#pragma once
// The line format shared by the recording stand-in and the tests: a record is one line of fields
// separated by TAB. Inside a field a backslash, TAB, LF and CR are written as \\, \t, \n and \r,
// so any argument (empty ones included) comes back exactly.
#include <string>
#include <string_view>
#include <vector>

namespace kestrun::recorder {

inline std::string EscapeField(std::string_view field) {
    std::string out;
    for (char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

inline std::string JoinFields(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '\t';
        line += EscapeField(fields[i]);
    }
    return line + '\n';
}

// One line (without its LF) back into its fields.
inline std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// Every line of a text as fields; empty lines and lines starting with '#' are left out.
inline std::vector<std::vector<std::string>> SplitRecords(std::string_view text) {
    std::vector<std::vector<std::string>> records;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && line[0] != '#') records.push_back(SplitFields(line));
        start = end + 1;
    }
    return records;
}

}  // namespace kestrun::recorder
