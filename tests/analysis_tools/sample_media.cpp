#include "sample_media.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/temp_folder.h"

extern char** environ;

namespace kestrun::test {

ProgramRun RunAndCapture(const std::vector<std::string>& argv) {
    TempFolder captures("kestrun-capture");
    const std::string outPath = captures / "out";
    const std::string errPath = captures / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ProgramRun run;
    if (spawned != 0) {
        run.exitCode = 127;
        return run;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadWholeFile(outPath);
    run.err = ReadWholeFile(errPath);
    return run;
}

std::string ProgramFolderTool(const std::string& subPath) {
    return std::string(KESTRUN_PROGRAM_DIR) + "/" + subPath;
}

void RunFfmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"/usr/bin/ffmpeg", "-nostdin", "-y", "-v", "error"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ProgramRun run = RunAndCapture(argv);
    if (run.exitCode != 0) throw std::runtime_error("ffmpeg failed: " + run.err);
}

void RunMkvmerge(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"/usr/bin/mkvmerge", "-q"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ProgramRun run = RunAndCapture(argv);
    if (run.exitCode > 1) throw std::runtime_error("mkvmerge failed: " + run.out + run.err);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWholeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace kestrun::test
