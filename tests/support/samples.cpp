#include "support/samples.h"

#include <unistd.h>

#include <atomic>
#include <bit>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "support/process.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

std::string Joined(const std::vector<std::string>& argv) {
    std::string text;
    for (const auto& a : argv) text += (text.empty() ? "" : " ") + a;
    return text;
}

// FNV-1a, 64 bits, in hex: the cache name of a recipe.
std::string Key(const std::string& text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    std::ostringstream hex;
    hex << std::hex << hash;
    return hex.str();
}

const std::map<std::string, std::vector<std::string>> kToneEncodings = {
    {"ac3", {"-ac", "6", "-c:a", "ac3", "-f", "ac3"}},
    {"dts", {"-ac", "6", "-c:a", "dca", "-strict", "-2", "-f", "dts"}},
    {"aac", {"-ac", "6", "-c:a", "aac", "-f", "adts"}},
    {"mp3", {"-ac", "2", "-c:a", "libmp3lame", "-f", "mp3"}},
    {"mp2", {"-ac", "2", "-c:a", "mp2", "-f", "mp2"}},
    {"ogg", {"-ac", "2", "-c:a", "libvorbis", "-f", "ogg"}},
    {"wav", {"-ac", "6", "-c:a", "pcm_s16le", "-f", "wav"}},
};

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

// The film, its two cues drawn as a PG stream by our tsMuxeR, taken out as a .sup on the film's
// timeline (the stream file starts later), and as VobSub (each cue ending where the next event
// begins, as the PG stream ends them).
void MakePictureSubtitleMkv(const std::string& path, const std::string& kind) {
    const TempFolder scratch("kestrun-picture-subtitles");
    const std::string film = scratch / "film.mkv";
    Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25", "-t", "6", "-c:v", "libx264",
            "-preset", "ultrafast", "-g", "25", "-pix_fmt", "yuv420p", film});
    const std::string srt =
        scratch.Write("film.srt",
                      "1\r\n00:00:01,000 --> 00:00:02,500\r\nPremiere ligne\r\n\r\n"
                      "2\r\n00:00:04,000 --> 00:00:05,000\r\nBonjour\r\n");
    const std::string meta = scratch.Write(
        "film.meta", "V_MPEG4/ISO/AVC, \"" + film + "\", track=1, fps=25\r\nS_TEXT/UTF8, \"" + srt +
                         "\" ,font-name=\"Arial\",font-size=42,font-color=0x00FFFFFF,"
                         "font-charset=1,bottom-offset=40,font-border=1,text-align=center,"
                         "video-width=640,video-height=360, fps=25, lang=eng\r\n");
    const std::string m2ts = scratch / "film.m2ts";
    const auto run = RunProgram({BuiltTool("TS/tsmuxer"), meta, m2ts});
    if (run.exitCode != 0) throw std::runtime_error("tsMuxeR: " + run.err);
    const std::string start = ProbeFields(m2ts, "v:0", "stream=start_time").at("start_time");
    const std::string subtitles = scratch / (kind == "pgs" ? "film.sup" : "film.mks");
    std::vector<std::string> args = {"-copyts"};
    if (kind != "pgs") args.push_back("-fix_sub_duration");
    args.insert(args.end(), {"-i", m2ts, "-map", "0:s", "-output_ts_offset", "-" + start});
    if (kind == "pgs")
        args.insert(args.end(), {"-c:s", "copy", "-f", "sup", subtitles});
    else
        args.insert(args.end(), {"-c:s", "dvdsub", "-f", "matroska", subtitles});
    Ffmpeg(args);
    Mkvmerge({"-o", path, film, "--language", "0:eng", subtitles});
}

}  // namespace

void Ffmpeg(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-v", "error"};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProgramRun run = RunProgram(argv);
    if (run.exitCode != 0) throw std::runtime_error(Joined(argv) + " failed: " + run.err);
}

void Mkvmerge(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"mkvmerge", "-q"};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProgramRun run = RunProgram(argv);
    if (run.exitCode > 1) throw std::runtime_error(Joined(argv) + " failed: " + run.out + run.err);
}

std::string CachedSample(const std::string& recipe, const std::string& extension,
                         const std::function<void(const std::string& path)>& make) {
    const std::filesystem::path folder = KESTRUN_SAMPLE_CACHE;
    const std::string path = (folder / (Key(recipe) + "." + extension)).string();
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)) return path;
    std::filesystem::create_directories(folder);
    static std::atomic<int> counter{0};
    const std::string partial = (folder / (Key(recipe) + ".part-" + std::to_string(getpid()) + "-" +
                                           std::to_string(counter++) + "." + extension))
                                    .string();
    try {
        make(partial);
    } catch (...) {
        std::filesystem::remove(partial, ignored);
        throw;
    }
    if (std::filesystem::file_size(partial, ignored) == 0 || ignored)
        throw std::runtime_error("the sample came out empty: " + recipe);
    std::filesystem::rename(partial, path);
    return path;
}

std::string FfmpegSample(const std::vector<std::string>& args, const std::string& extension) {
    return CachedSample("ffmpeg " + Joined(args), extension, [&](const std::string& path) {
        std::vector<std::string> withOutput = args;
        withOutput.push_back(path);
        Ffmpeg(withOutput);
    });
}

std::string SampleAt(const std::vector<std::string>& ffmpegArgs, const std::string& destination) {
    const std::string extension = std::filesystem::path(destination).extension().string();
    std::filesystem::copy_file(
        FfmpegSample(ffmpegArgs, extension.substr(extension.empty() ? 0 : 1)), destination,
        std::filesystem::copy_options::overwrite_existing);
    return destination;
}

std::string ToneSample(const std::string& format) {
    std::vector<std::string> args = {"-f", "lavfi", "-i",
                                     "sine=frequency=440:duration=1:sample_rate=48000"};
    const auto& encoding = kToneEncodings.at(format);
    args.insert(args.end(), encoding.begin(), encoding.end());
    return FfmpegSample(args, format);
}

std::string H264Sample(int width, int height, int frames, const std::vector<std::string>& x264,
                       const std::string& rate, const std::string& extension) {
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
    if (extension == "h264") args.insert(args.end(), {"-f", "h264"});
    return FfmpegSample(args, extension);
}

std::map<std::string, std::string> ProbeFields(const std::string& path, const std::string& select,
                                               const std::string& entries, bool countFrames) {
    std::vector<std::string> argv = {"ffprobe", "-v", "error", "-select_streams", select};
    if (countFrames) argv.push_back("-count_frames");
    argv.insert(argv.end(), {"-show_entries", entries, "-of", "default=noprint_wrappers=1", path});
    const ProgramRun run = RunProgram(argv);
    std::map<std::string, std::string> fields;
    if (run.exitCode != 0) return fields;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            fields.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    return fields;
}

bool RenumberMatroskaTracks(const std::string& path, const std::map<uint64_t, uint64_t>& numbers) {
    auto bytes = ReadBytes(path);
    if (bytes.empty() || !Renumberer(bytes, numbers).Walk(0, bytes.size())) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<std::string> SmallFilmArgs() {
    return {"-f",      "lavfi",     "-i",   "testsrc=size=640x360:rate=25",
            "-f",      "lavfi",     "-i",   "sine=r=48000",
            "-t",      "6",         "-c:v", "libx264",
            "-preset", "ultrafast", "-g",   "25",
            "-c:a",    "ac3",       "-b:a", "96k"};
}

std::string PictureSubtitleSample(const std::string& kind) {
    return CachedSample("picture subtitles " + kind + ", recipe 2", "mkv",
                        [&](const std::string& at) { MakePictureSubtitleMkv(at, kind); });
}

}  // namespace kestrun::test
