#include "support/recorder_rules.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "recorder/recorder_format.h"

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

void WriteWholeFile(const std::string& path, const std::string& text, bool append) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string FileNameOfRun(const RecordedRun& run) {
    if (run.empty()) return {};
    return fs::path(run[0]).filename().string();
}

}  // namespace

RecorderRules::RecorderRules(std::string path) : path_(std::move(path)) {
    WriteWholeFile(path_, "", false);
}

RecorderRules& RecorderRules::Add(std::vector<std::string> fields) {
    WriteWholeFile(path_, recorder::JoinFields(fields), true);
    return *this;
}

RecorderRules& RecorderRules::Write(std::string_view tool, std::string_view target,
                                    std::size_t bytes, std::string_view match) {
    return Add({"write", std::string(tool), std::string(match), std::string(target),
                std::to_string(bytes)});
}

RecorderRules& RecorderRules::WriteText(std::string_view tool, std::string_view target,
                                        std::string_view content, std::string_view match) {
    return Add(
        {"text", std::string(tool), std::string(match), std::string(target), std::string(content)});
}

RecorderRules& RecorderRules::Copy(std::string_view tool, std::string_view target,
                                   std::string_view sourceFile, std::string_view match) {
    return Add({"copy", std::string(tool), std::string(match), std::string(target),
                std::string(sourceFile)});
}

RecorderRules& RecorderRules::MakeFolder(std::string_view tool, std::string_view target,
                                         std::string_view match) {
    return Add({"mkdir", std::string(tool), std::string(match), std::string(target)});
}

RecorderRules& RecorderRules::Stdout(std::string_view tool, std::string_view text,
                                     std::string_view match) {
    return Add({"stdout", std::string(tool), std::string(match), std::string(text)});
}

RecorderRules& RecorderRules::Stderr(std::string_view tool, std::string_view text,
                                     std::string_view match) {
    return Add({"stderr", std::string(tool), std::string(match), std::string(text)});
}

RecorderRules& RecorderRules::Exit(std::string_view tool, int code, std::string_view match) {
    return Add({"exit", std::string(tool), std::string(match), std::to_string(code)});
}

std::vector<RecordedRun> ReadJournal(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return recorder::SplitRecords(text.str());
}

std::vector<RecordedRun> RunsOf(const std::vector<RecordedRun>& runs, std::string_view tool) {
    std::vector<RecordedRun> matching;
    for (const auto& run : runs) {
        if (FileNameOfRun(run) == tool) matching.push_back(run);
    }
    return matching;
}

RecorderProgramFolder::RecorderProgramFolder(const std::string& root)
    : programFolder_(root + "/prog"),
      journalPath_(root + "/journal.tsv"),
      rules_((fs::create_directories(root), root + "/rules.tsv")) {
    fs::create_directories(programFolder_);
    WriteWholeFile(journalPath_, "", false);
    setenv("KESTRUN_JOURNAL", journalPath_.c_str(), 1);
    setenv("KESTRUN_RECORDER_RULES", rules_.Path().c_str(), 1);
}

RecorderProgramFolder::~RecorderProgramFolder() {
    unsetenv("KESTRUN_JOURNAL");
    unsetenv("KESTRUN_RECORDER_RULES");
}

std::string RecorderProgramFolder::Install(std::string_view subPath) {
    fs::path tool = programFolder_ + std::string(subPath);
    fs::create_directories(tool.parent_path());
    std::error_code ignored;
    fs::remove(tool, ignored);
    fs::create_symlink(KESTRUN_RECORDER, tool);
    return tool.string();
}

void RecorderProgramFolder::Install(std::initializer_list<std::string_view> subPaths) {
    for (auto subPath : subPaths) Install(subPath);
}

}  // namespace kestrun::test
