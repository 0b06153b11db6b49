#include "e2e/e2e_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace kestrun::e2e {
namespace fs = std::filesystem;
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file for a child's output stream; unlinked again once read.
std::string CaptureFile() {
    std::string pattern = (fs::temp_directory_path() / "kestrun-e2e-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw std::runtime_error("cannot make a capture file");
    close(fd);
    return pattern;
}

std::string Joined(const std::vector<std::string>& argv) {
    std::string text;
    for (const auto& a : argv) text += (text.empty() ? "" : " ") + a;
    return text;
}

using Json = nlohmann::json;

const Json* Find(const Json* object, const char* key) {
    if (!object || !object->is_object()) return nullptr;
    const auto it = object->find(key);
    return it == object->end() ? nullptr : &*it;
}

std::string Text(const Json* v) {
    if (!v) return {};
    if (v->is_string()) return v->get<std::string>();
    if (v->is_number()) return v->dump();
    return {};
}

std::optional<double> Number(const Json* v) {
    const std::string text = Text(v);
    if (text.empty() || text == "N/A") return std::nullopt;
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& argv) {
    const std::string outPath = CaptureFile();
    const std::string errPath = CaptureFile();
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_TRUNC, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);

    ProgramRun run;
    if (spawned == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else {
        run.err = "cannot start " + argv[0];
    }
    run.out = Slurp(outPath);
    run.err += Slurp(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

void Ffmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-v", "error"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ProgramRun run = RunProgram(argv);
    if (run.exitCode != 0) throw std::runtime_error(Joined(argv) + " failed: " + run.err);
}

std::vector<std::string> ToneInput(int channels, double seconds) {
    // A distinct pitch per channel, so a lost or swapped channel is not silent by accident.
    std::string tones;
    for (int c = 0; c < channels; ++c)
        tones += (c ? "|" : "") + ("0.3*sin(" + std::to_string(220 + 110 * c) + "*2*PI*t)");
    const std::string layout = channels == 6 ? "5.1" : channels == 1 ? "mono" : "stereo";
    return {"-f", "lavfi",
            "-t", std::to_string(seconds),
            "-i", "aevalsrc=" + tones + ":c=" + layout + ":s=48000"};
}

std::vector<std::string> PictureInput(const std::string& size) {
    return {"-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=24000/1001"};
}

std::vector<std::string> H264Options() {
    return {"-c:v",   "libx264", "-preset", "veryfast", "-profile:v", "high",
            "-level", "5.1",     "-bf",     "2",        "-pix_fmt",   "yuv420p"};
}

void MakeMkv(const std::string& path, const std::vector<std::string>& audioOptions, int channels,
             const std::vector<std::string>& extraOptions, double seconds) {
    std::vector<std::string> args = PictureInput("320x240");
    for (auto part :
         {ToneInput(channels, seconds),
          std::vector<std::string>{"-t", std::to_string(seconds), "-map", "0:v", "-map", "1:a"},
          H264Options(), audioOptions, extraOptions})
        args.insert(args.end(), part.begin(), part.end());
    args.push_back(path);
    Ffmpeg(args);
}

std::vector<StreamFacts> MediaFacts::OfType(const std::string& type) const {
    std::vector<StreamFacts> found;
    for (const auto& s : streams)
        if (s.type == type) found.push_back(s);
    return found;
}

MediaFacts Probe(const std::string& path) {
    const ProgramRun run = RunProgram({"ffprobe", "-v", "error", "-count_frames", "-print_format",
                                       "json", "-show_streams", "-show_format", path});
    if (run.exitCode != 0) throw std::runtime_error("ffprobe failed on " + path + ": " + run.err);
    const Json doc = Json::parse(run.out);
    MediaFacts facts;
    facts.duration = Number(Find(Find(&doc, "format"), "duration")).value_or(0);
    if (const Json* streams = Find(&doc, "streams"); streams && streams->is_array()) {
        for (const Json& s : *streams) {
            StreamFacts f;
            f.type = Text(Find(&s, "codec_type"));
            f.codec = Text(Find(&s, "codec_name"));
            f.profile = Text(Find(&s, "profile"));
            f.level = static_cast<int>(Number(Find(&s, "level")).value_or(0));
            f.channels = static_cast<int>(Number(Find(&s, "channels")).value_or(0));
            f.avgFrameRate = Text(Find(&s, "avg_frame_rate"));
            f.displayAspect = Text(Find(&s, "display_aspect_ratio"));
            if (auto n = Number(Find(&s, "nb_read_frames")))
                f.framesDecoded = static_cast<long>(*n);
            f.duration = Number(Find(&s, "duration"));
            facts.streams.push_back(f);
        }
    }
    return facts;
}

std::string Fingerprint(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return "missing";
    std::ifstream in(path, std::ios::binary);
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a, 64 bits
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            hash ^= static_cast<unsigned char>(buffer[i]);
            hash *= 1099511628211ull;
        }
    }
    std::ostringstream text;
    text << std::hex << hash << "/" << std::dec << st.st_size << "/" << st.st_mtim.tv_sec << "."
         << st.st_mtim.tv_nsec;
    return text.str();
}

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ProgramFolderCopy::ProgramFolderCopy(const fs::path& where) : path_(where / "kestrun") {
    const fs::path built = KESTRUN_PROGRAM_DIR;
    fs::create_directories(path_);
    for (const auto& entry : fs::directory_iterator(built)) {
        const std::string name = entry.path().filename().string();
        // What a run writes beside the program stays private to this copy.
        if (name == "Kestrun.conf" || name == "debug.log" || name == "info.txt" ||
            name == "tools.log")
            continue;
        if (name == "kestrun-cli") {
            std::error_code linkError;
            fs::create_hard_link(entry.path(), path_ / name, linkError);
            if (linkError) fs::copy_file(entry.path(), path_ / name);
            continue;
        }
        fs::create_symlink(entry.path(), path_ / name);
    }
}

void ProgramFolderCopy::OwnSubFolder(const std::string& subPath) {
    const fs::path folder = path_ / fs::path(subPath).parent_path();
    if (!fs::is_symlink(folder)) return;
    const fs::path target = fs::read_symlink(folder);
    fs::remove(folder);
    fs::create_directory(folder);
    for (const auto& entry : fs::directory_iterator(target))
        fs::create_symlink(entry.path(), folder / entry.path().filename());
}

void ProgramFolderCopy::RemoveTool(const std::string& subPath) {
    OwnSubFolder(subPath);
    fs::remove(path_ / subPath);
}

void ProgramFolderCopy::ReplaceTool(const std::string& subPath, const std::string& program) {
    RemoveTool(subPath);
    fs::create_symlink(program, path_ / subPath);
}

}  // namespace kestrun::e2e
