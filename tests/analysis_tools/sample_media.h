#pragma once
// Test helpers shared by the analysis suites: running a program without a shell and capturing
// what it prints, and making tiny media samples with FFmpeg and mkvmerge.
#include <string>
#include <vector>

namespace kestrun::test {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Starts argv[0] directly (no shell) with standard input from /dev/null.
ProgramRun RunAndCapture(const std::vector<std::string>& argv);

// A program of the built program folder, e.g. "MKVToolnix/mkvinfo".
std::string ProgramFolderTool(const std::string& subPath);

// ffmpeg -nostdin -y -v error ARGS; throws std::runtime_error when it fails.
void RunFfmpeg(const std::vector<std::string>& arguments);
// /usr/bin/mkvmerge -q ARGS; throws when it fails (warnings are accepted).
void RunMkvmerge(const std::vector<std::string>& arguments);

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);

// The lines of a text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace kestrun::test
