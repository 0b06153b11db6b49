// The recording stand-in. Installed under any tool name, it appends its command line to the journal
// named by KESTRUN_JOURNAL and then plays the rules of the file named by KESTRUN_RECORDER_RULES:
// files to write, text to print, the exit code. The formats are described in
// tests/support/recorder_rules.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "recorder_format.h"

namespace {

using kestrun::recorder::JoinFields;
using kestrun::recorder::SplitRecords;
using Arguments = std::vector<std::string>;
using Rule = std::vector<std::string>;

constexpr int kRuleFailed = 70;

struct Failure {
    std::string message;
};

std::string BaseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void AppendToJournal(const Arguments& arguments) {
    const char* journal = std::getenv("KESTRUN_JOURNAL");
    if (journal == nullptr || *journal == '\0') return;
    int fd = open(journal, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) throw Failure{std::string("cannot open journal ") + journal};
    bool written = WriteAll(fd, JoinFields(arguments));  // one write: one whole line
    close(fd);
    if (!written) throw Failure{std::string("cannot write journal ") + journal};
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure{"cannot read " + path};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<Rule> LoadRules() {
    const char* rules = std::getenv("KESTRUN_RECORDER_RULES");
    if (rules == nullptr || *rules == '\0') return {};
    struct stat info {};
    if (stat(rules, &info) != 0) return {};  // no rules written yet: record only
    return SplitRecords(ReadWholeFile(rules));
}

bool RuleApplies(const Rule& rule, const Arguments& arguments) {
    const std::string& tool = rule.at(1);
    if (tool != "*" && tool != BaseName(arguments[0])) return false;
    const std::string& needle = rule.at(2);
    if (needle.empty()) return true;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i].find(needle) != std::string::npos) return true;
    }
    return false;
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// "arg:N" (negative from the end), "after:FLAG", "cut:PREFIX", or a path taken as it is.
std::string ResolveTarget(const std::string& target, const Arguments& arguments) {
    const int count = static_cast<int>(arguments.size());
    if (StartsWith(target, "arg:")) {
        int index = std::stoi(target.substr(4));
        if (index < 0) index += count;
        if (index < 0 || index >= count) throw Failure{"no argument for " + target};
        return arguments[static_cast<std::size_t>(index)];
    }
    if (StartsWith(target, "after:")) {
        std::string flag = target.substr(6);
        for (int i = 1; i + 1 < count; ++i) {
            if (arguments[static_cast<std::size_t>(i)] == flag) {
                return arguments[static_cast<std::size_t>(i) + 1];
            }
        }
        throw Failure{"no argument for " + target};
    }
    if (StartsWith(target, "cut:")) {
        std::string prefix = target.substr(4);
        for (int i = 1; i < count; ++i) {
            const auto& argument = arguments[static_cast<std::size_t>(i)];
            if (StartsWith(argument, prefix)) return argument.substr(prefix.size());
        }
        throw Failure{"no argument for " + target};
    }
    return target;
}

void WriteFile(const std::string& path, const std::string& content) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw Failure{"cannot create " + path + ": " + std::strerror(errno)};
    bool written = WriteAll(fd, content);
    close(fd);
    if (!written) throw Failure{"cannot write " + path};
}

std::size_t ParseCount(const std::string& text) {
    try {
        return static_cast<std::size_t>(std::stoull(text));
    } catch (const std::exception&) {
        throw Failure{"not a number: " + text};
    }
}

// Plays one rule; returns the exit code it sets, if it sets one.
std::optional<int> Apply(const Rule& rule, const Arguments& arguments) {
    const std::string& action = rule[0];
    auto value = [&](std::size_t i) -> const std::string& {
        if (i >= rule.size()) throw Failure{"rule '" + action + "' lacks a field"};
        return rule[i];
    };
    if (action == "write") {
        WriteFile(ResolveTarget(value(3), arguments), std::string(ParseCount(value(4)), '\0'));
    } else if (action == "text") {
        WriteFile(ResolveTarget(value(3), arguments), value(4));
    } else if (action == "copy") {
        WriteFile(ResolveTarget(value(3), arguments), ReadWholeFile(value(4)));
    } else if (action == "mkdir") {
        std::string folder = ResolveTarget(value(3), arguments);
        if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
            throw Failure{"cannot create folder " + folder};
        }
    } else if (action == "stdout") {
        std::cout << value(3) << std::flush;
    } else if (action == "stderr") {
        std::cerr << value(3) << std::flush;
    } else if (action == "exit") {
        return static_cast<int>(ParseCount(value(3)));
    } else {
        throw Failure{"unknown rule '" + action + "'"};
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments(argv, argv + argc);
    if (arguments.empty()) arguments.emplace_back();
    try {
        AppendToJournal(arguments);
        int exitCode = 0;
        for (const Rule& rule : LoadRules()) {
            if (rule.size() < 3) throw Failure{"rule with fewer than three fields"};
            if (!RuleApplies(rule, arguments)) continue;
            if (auto code = Apply(rule, arguments)) exitCode = *code;
        }
        return exitCode;
    } catch (const Failure& failure) {
        std::cerr << "kestrun-recorder (" << BaseName(arguments[0]) << "): " << failure.message
                  << std::endl;
        return kRuleFailed;
    } catch (const std::exception& error) {
        std::cerr << "kestrun-recorder (" << BaseName(arguments[0])
                  << "): bad rule: " << error.what() << std::endl;
        return kRuleFailed;
    }
}
