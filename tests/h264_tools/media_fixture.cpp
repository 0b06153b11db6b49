#include "h264_tools/media_fixture.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "common/h264_parameter_sets.h"

extern char** environ;

namespace kestrun::test {
namespace {

std::string ReadAndRemove(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return text;
}

std::string TempCapturePath() {
    char pattern[] = "/tmp/kestrun-h264-capture-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) throw std::runtime_error("cannot create a capture file");
    close(fd);
    return pattern;
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& argv) {
    const std::string outPath = TempCapturePath();
    const std::string errPath = TempCapturePath();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    ToolResult result;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadAndRemove(outPath);
    result.err = ReadAndRemove(errPath);
    return result;
}

std::string ProgramPath(const std::string& relative) {
    return std::string(KESTRUN_PROGRAM_DIR) + "/" + relative;
}

void RunFfmpeg(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/ffmpeg", "-nostdin", "-y", "-loglevel", "error"};
    argv.insert(argv.end(), args.begin(), args.end());
    const ToolResult result = RunTool(argv);
    if (result.exitCode != 0) throw std::runtime_error("ffmpeg failed: " + result.err);
}

void EncodeH264(const std::string& output, int width, int height, int frames,
                const std::vector<std::string>& x264, const std::string& rate) {
    std::vector<std::string> args = {
        "-f",
        "lavfi",
        "-i",
        "testsrc2=size=" + std::to_string(width) + "x" + std::to_string(height) + ":rate=" + rate,
        "-frames:v",
        std::to_string(frames),
        "-c:v",
        "libx264",
        "-preset",
        "ultrafast"};
    args.insert(args.end(), x264.begin(), x264.end());
    if (output.ends_with(".h264")) args.insert(args.end(), {"-f", "h264"});
    args.push_back(output);
    RunFfmpeg(args);
}

std::map<std::string, std::string> ProbeStream(const std::string& path, const std::string& stream) {
    const ToolResult result =
        RunTool({"/usr/bin/ffprobe", "-v", "error", "-count_frames", "-select_streams", stream,
                 "-show_entries",
                 "stream=codec_name,profile,level,width,height,nb_read_frames,r_frame_rate,"
                 "sample_aspect_ratio,sample_rate,channels,start_time",
                 "-of", "default=noprint_wrappers=1", path});
    std::map<std::string, std::string> fields;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return fields;
}

std::vector<std::string> DecodedFrameHashes(const std::string& path) {
    const ToolResult result = RunTool({"/usr/bin/ffmpeg", "-nostdin", "-loglevel", "error", "-i",
                                       path, "-map", "0:v:0", "-f", "framemd5", "-"});
    std::vector<std::string> hashes;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 1));
    }
    return hashes;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::vector<uint8_t>> SpsUnitsOf(const std::string& rawStream) {
    const auto bytes = ReadBytes(rawStream);
    return standin::h264::ParameterSetsInAnnexB(bytes.data(), bytes.size()).sps;
}

}  // namespace kestrun::test
