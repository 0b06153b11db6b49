#include "media_tools/media_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace media_test {
namespace {

std::string Capture(const std::vector<std::string>& argv, int outFd, int* exitCode) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], outFd);
    posix_spawn_file_actions_addopen(&actions, outFd == 1 ? 2 : 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string text;
    if (rc == 0) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            text.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fds[0]);
    int status = 0;
    *exitCode = -1;
    if (rc == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        *exitCode = WEXITSTATUS(status);
    return text;
}

std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        values.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    return values;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// --- Matroska (EBML) walking for RenumberMatroskaTracks -------------------------------------

struct Vint {
    uint64_t value = 0;
    size_t length = 0;
    bool unknown = false;  // all value bits set: "size unknown"
};

std::optional<Vint> ReadVint(const std::vector<uint8_t>& b, size_t at, size_t end,
                             bool keepMarker) {
    if (at >= end || b[at] == 0) return std::nullopt;
    Vint v;
    v.length = static_cast<size_t>(std::countl_zero(b[at])) + 1;
    if (at + v.length > end) return std::nullopt;
    const uint8_t mask = static_cast<uint8_t>(0xFF >> v.length);
    v.value = keepMarker ? b[at] : (b[at] & mask);
    bool allOnes = (b[at] & mask) == mask;
    for (size_t i = 1; i < v.length; ++i) {
        v.value = (v.value << 8) | b[at + i];
        allOnes = allOnes && b[at + i] == 0xFF;
    }
    v.unknown = !keepMarker && allOnes;
    return v;
}

constexpr uint64_t kMasterIds[] = {0x18538067, 0x1654AE6B, 0xAE, 0x1F43B675,
                                   0xA0,       0x1C53BB6B, 0xBB, 0xB7};
constexpr uint64_t kTrackNumberId = 0xD7;
constexpr uint64_t kCueTrackId = 0xF7;
constexpr uint64_t kSimpleBlockId = 0xA3;
constexpr uint64_t kBlockId = 0xA1;

bool IsMaster(uint64_t id) {
    for (const uint64_t master : kMasterIds)
        if (master == id) return true;
    return false;
}

class Renumberer {
public:
    Renumberer(std::vector<uint8_t>& bytes, const std::map<uint64_t, uint64_t>& numbers)
        : b_(bytes), numbers_(numbers) {}

    bool Walk(size_t at, size_t end) {
        while (at < end) {
            const auto id = ReadVint(b_, at, end, true);
            if (!id) return false;
            const auto size = ReadVint(b_, at + id->length, end, false);
            if (!size) return false;
            const size_t data = at + id->length + size->length;
            size_t dataEnd = size->unknown ? end : data + size->value;
            if (dataEnd > end) dataEnd = end;
            if (IsMaster(id->value)) {
                if (!Walk(data, dataEnd)) return false;
            } else if (id->value == kTrackNumberId || id->value == kCueTrackId) {
                if (!RewriteUnsigned(data, dataEnd)) return false;
            } else if (id->value == kSimpleBlockId || id->value == kBlockId) {
                if (!RewriteBlockTrack(data, dataEnd)) return false;
            }
            at = dataEnd;
        }
        return true;
    }

private:
    bool RewriteUnsigned(size_t data, size_t end) {
        uint64_t value = 0;
        for (size_t i = data; i < end; ++i) value = (value << 8) | b_[i];
        const auto it = numbers_.find(value);
        if (it == numbers_.end()) return true;
        uint64_t updated = it->second;
        for (size_t i = end; i > data; --i) {
            b_[i - 1] = static_cast<uint8_t>(updated & 0xFF);
            updated >>= 8;
        }
        return updated == 0;
    }

    bool RewriteBlockTrack(size_t data, size_t end) {
        const auto track = ReadVint(b_, data, end, false);
        if (!track || track->length != 1) return false;
        const auto it = numbers_.find(track->value);
        if (it == numbers_.end()) return true;
        if (it->second >= 127) return false;
        b_[data] = static_cast<uint8_t>(0x80 | it->second);
        return true;
    }

    std::vector<uint8_t>& b_;
    const std::map<uint64_t, uint64_t>& numbers_;
};

}  // namespace

std::string Tool(const std::string& relative) {
    return std::string(KESTRUN_PROGRAM_DIR) + "/" + relative;
}

RunResult RunTool(const std::vector<std::string>& argv) {
    RunResult result;
    result.errorText = Capture(argv, 2, &result.exitCode);
    return result;
}

bool Ffmpeg(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/ffmpeg", "-nostdin", "-y", "-v", "error"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv).exitCode == 0;
}

std::map<std::string, std::string> Probe(const std::string& path, const std::string& kind,
                                         bool countFrames) {
    std::vector<std::string> argv = {"/usr/bin/ffprobe", "-v", "error", "-select_streams",
                                     kind + ":0"};
    if (countFrames) argv.push_back("-count_frames");
    argv.insert(argv.end(), {"-show_entries",
                             "stream=codec_name,profile,channels,sample_rate,duration,bit_rate,"
                             "nb_read_frames,has_b_frames:format=format_name,duration",
                             "-of", "default=noprint_wrappers=1", path});
    int code = 0;
    auto values = KeyValues(Capture(argv, 1, &code));
    if (code != 0) return {};
    return values;
}

double Number(const std::map<std::string, std::string>& probe, const std::string& key) {
    const auto it = probe.find(key);
    if (it == probe.end() || it->second.empty() || it->second == "N/A") return -1;
    return std::strtod(it->second.c_str(), nullptr);
}

std::vector<std::string> StreamTypes(const std::string& path) {
    int code = 0;
    const std::string text = Capture({"/usr/bin/ffprobe", "-v", "error", "-show_entries",
                                      "stream=codec_type", "-of", "csv=p=0", path},
                                     1, &code);
    std::vector<std::string> types;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty()) types.push_back(line);
    return types;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

long long FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<Pcm16> ReadPcm16Wav(const std::string& path) {
    const auto b = ReadBytes(path);
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
        std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return std::nullopt;
    Pcm16 pcm;
    int bits = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = Le32(b, at + 4);
        const size_t data = at + 8;
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0 && data + 16 <= b.size()) {
            pcm.channels = Le16(b, data + 2);
            pcm.sampleRate = static_cast<int>(Le32(b, data + 4));
            bits = Le16(b, data + 14);
        } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
            if (bits != 16 || pcm.channels == 0) return std::nullopt;
            const size_t end = std::min(b.size(), data + size);
            for (size_t i = data; i + 1 < end; i += 2)
                pcm.samples.push_back(static_cast<int16_t>(Le16(b, i)));
            return pcm;
        }
        at = data + size + (size & 1);
    }
    return std::nullopt;
}

double ZeroCrossingsPerSecond(const Pcm16& pcm) {
    if (pcm.channels == 0 || pcm.sampleRate == 0) return 0;
    const size_t frames = pcm.samples.size() / static_cast<size_t>(pcm.channels);
    size_t crossings = 0;
    for (size_t f = 1; f < frames; ++f) {
        const int16_t previous = pcm.samples[(f - 1) * pcm.channels];
        const int16_t current = pcm.samples[f * pcm.channels];
        if ((previous < 0) != (current < 0)) ++crossings;
    }
    return frames < 2 ? 0 : crossings * static_cast<double>(pcm.sampleRate) / frames;
}

bool RenumberMatroskaTracks(const std::string& path, const std::map<uint64_t, uint64_t>& numbers) {
    auto bytes = ReadBytes(path);
    if (bytes.empty() || !Renumberer(bytes, numbers).Walk(0, bytes.size())) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace media_test
