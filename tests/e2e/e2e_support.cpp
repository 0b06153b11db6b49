#include "e2e/e2e_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kestrun::e2e {
namespace fs = std::filesystem;
namespace {

std::optional<double> Number(const std::map<std::string, std::string>& fields,
                             const std::string& key) {
    const auto it = fields.find(key);
    if (it == fields.end() || it->second.empty() || it->second == "N/A") return std::nullopt;
    return std::strtod(it->second.c_str(), nullptr);
}

std::string Text(const std::map<std::string, std::string>& fields, const std::string& key) {
    const auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
}

}  // namespace

std::vector<std::string> ToneInput(int channels, double seconds) {
    // A distinct pitch per channel, so a lost or swapped channel is not silent by accident.
    std::string tones;
    for (int c = 0; c < channels; ++c)
        tones += (c ? "|" : "") + ("0.3*sin(" + std::to_string(220 + 110 * c) + "*2*PI*t)");
    const std::string layout = channels == 8   ? "7.1"
                               : channels == 6 ? "5.1"
                               : channels == 1 ? "mono"
                                               : "stereo";
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
    test::SampleAt(args, path);
}

std::vector<StreamFacts> MediaFacts::OfType(const std::string& type) const {
    std::vector<StreamFacts> found;
    for (const auto& s : streams)
        if (s.type == type) found.push_back(s);
    return found;
}

MediaFacts Probe(const std::string& path) {
    const ProgramRun run = RunProgram(
        {"ffprobe", "-v", "error", "-count_frames", "-show_streams", "-show_format", path});
    if (run.exitCode != 0) throw std::runtime_error("ffprobe failed on " + path + ": " + run.err);
    // Sections [STREAM] ... [/STREAM] and [FORMAT] ... [/FORMAT] of key=value lines.
    MediaFacts facts;
    std::map<std::string, std::string> fields;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (line == "[STREAM]" || line == "[FORMAT]") {
            fields.clear();
        } else if (line == "[/FORMAT]") {
            facts.duration = Number(fields, "duration").value_or(0);
        } else if (line == "[/STREAM]") {
            StreamFacts f;
            f.type = Text(fields, "codec_type");
            f.codec = Text(fields, "codec_name");
            f.profile = Text(fields, "profile");
            f.level = static_cast<int>(Number(fields, "level").value_or(0));
            f.channels = static_cast<int>(Number(fields, "channels").value_or(0));
            f.avgFrameRate = Text(fields, "avg_frame_rate");
            f.displayAspect = Text(fields, "display_aspect_ratio");
            if (auto n = Number(fields, "nb_read_frames")) f.framesDecoded = static_cast<long>(*n);
            f.duration = Number(fields, "duration");
            facts.streams.push_back(f);
        } else if (const size_t equals = line.find('='); equals != std::string::npos) {
            fields[line.substr(0, equals)] = line.substr(equals + 1);
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
    // h264info reads its settings from the folder its program lies in, so each copy needs a
    // program file of its own (a hard link) there, or runs side by side would share one file.
    const std::string h264info = "h264info/h264info";
    if (fs::exists(built / h264info)) {
        RemoveTool(h264info);
        fs::remove(path_ / "h264info" / "h264info.ini");
        std::error_code linkError;
        fs::create_hard_link(built / h264info, path_ / h264info, linkError);
        if (linkError) fs::copy_file(built / h264info, path_ / h264info);
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
