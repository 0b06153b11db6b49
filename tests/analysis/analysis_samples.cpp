#include "analysis_samples.h"

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>

#include "support/process.h"
#include "support/samples.h"

namespace kestrun::test {
namespace {

using Args = std::vector<std::string>;

std::string Encode(const std::string& source, const Args& codec, const std::string& extension) {
    Args args = {"-f", "lavfi", "-i", source};
    args.insert(args.end(), codec.begin(), codec.end());
    return FfmpegSample(args, extension);
}

Args X264(Args before) {
    before.insert(before.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"});
    return before;
}

std::string Audio() {
    return Encode("sine=sample_rate=48000", {"-t", "0.5", "-c:a", "ac3"}, "ac3");
}

std::string SmallVideo() {
    return Encode("testsrc=size=320x240:rate=24000/1001", X264({"-t", "0.5"}), "h264");
}

// Replaces the first occurrence of `from` in the file by `to` (same length).
void PatchBytes(const std::string& path, const std::string& from, const std::string& to) {
    std::string bytes = ReadWholeFile(path);
    const size_t at = bytes.find(from);
    if (at == std::string::npos) throw std::runtime_error("no " + from + " in " + path);
    bytes.replace(at, from.size(), to);
    WriteWholeFile(path, bytes);
}

void MakeMain(const std::string& out) {
    const TempFolder f("kestrun-main-subs");
    const std::string dts = Encode(
        "sine=sample_rate=48000", {"-t", "0.5", "-ac", "2", "-strict", "-2", "-c:a", "dca"}, "dts");
    f.Write("subs.srt", "1\n00:00:00,000 --> 00:00:00,400\nHello\n");
    f.Write("subs.ass",
            "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, Fontname, "
            "Fontsize\nStyle: Default,Arial,20\n\n[Events]\nFormat: Layer, Start, End, "
            "Style, Text\nDialogue: 0,0:00:00.00,0:00:00.40,Default,Hi\n");
    Mkvmerge({"-o", out, SmallVideo(), "--language", "0:eng", Audio(), "--language", "0:ger", dts,
              "--language", "0:eng", f / "subs.srt", "--language", "0:und", f / "subs.ass"});
}

void MakeWide(const std::string& out) {
    Mkvmerge({"-o", out, "--display-dimensions", "0:1920x1080",
              Encode("testsrc=size=1440x1080:rate=25", X264({"-frames:v", "2"}), "h264"), Audio()});
}

void MakeMpeg2(const std::string& out) {
    Mkvmerge(
        {"-o", out,
         Encode("testsrc=size=320x240:rate=25", {"-frames:v", "5", "-c:v", "mpeg2video"}, "m2v"),
         Audio()});
}

void MakeXvid(const std::string& out) {
    Mkvmerge({"-o", out,
              Encode("testsrc=size=176x144:rate=25",
                     {"-t", "0.4", "-c:v", "libxvid", "-vtag", "XVID"}, "avi"),
              Audio()});
}

// No encoder writes VC-1: a WMV2 track in VFW mode with its FourCC changed stands in.
void MakeVc1(const std::string& out) {
    Mkvmerge({"-o", out,
              Encode("testsrc=size=176x144:rate=25", {"-t", "0.4", "-c:v", "wmv2"}, "avi"),
              Audio()});
    PatchBytes(out, "WMV2", "WVC1");
}

void MakeForty(const std::string& out) {
    Args forty = {"-o", out, SmallVideo()};
    for (int i = 0; i < 40; ++i) forty.push_back(Audio());
    Mkvmerge(forty);
}

std::string Avi(const Args& options) {
    Args codec = {"-t", "1", "-c:v", "libxvid", "-vtag", "XVID"};
    codec.insert(codec.end(), options.begin(), options.end());
    return Encode("testsrc=size=176x144:rate=25", codec, "avi");
}

}  // namespace

std::string AnalysisSample(const std::string& name) {
    const std::map<std::string, std::function<std::string()>> makers = {
        {"main.mkv", [] { return CachedSample("analysis main.mkv 1", "mkv", MakeMain); }},
        {"wide.mkv", [] { return CachedSample("analysis wide.mkv 1", "mkv", MakeWide); }},
        {"mpeg2.mkv", [] { return CachedSample("analysis mpeg2.mkv 1", "mkv", MakeMpeg2); }},
        {"xvid.mkv", [] { return CachedSample("analysis xvid.mkv 1", "mkv", MakeXvid); }},
        {"vc1.mkv", [] { return CachedSample("analysis vc1.mkv 1", "mkv", MakeVc1); }},
        {"dpb.mkv",
         [] {
             return Encode("testsrc=size=1920x1080:rate=24",
                           X264({"-frames:v", "2", "-x264-params", "ref=16"}), "mkv");
         }},
        {"forty.mkv", [] { return CachedSample("analysis forty.mkv 1", "mkv", MakeForty); }},
        {"plain.avi", [] { return Avi({}); }},
        {"qpel.avi",
         [] {
             return Avi({"-flags", "+qpel"});
         }},
        {"gmc.avi",
         [] {
             return Avi({"-gmc", "1"});
         }},
    };
    const auto maker = makers.find(name);
    if (maker == makers.end()) throw std::invalid_argument("no sample named " + name);
    // Each test program sees the sample under its own name, in a folder of its own.
    static const TempFolder folder("kestrun-samples");
    const std::string path = folder / name;
    if (!std::filesystem::exists(path)) std::filesystem::copy_file(maker->second(), path);
    return path;
}

std::string MakeStandInProgramFolder(const TempFolder& root) {
    const std::string program = root / "program folder";
    for (const char* tool : {"MKVToolnix/mkvinfo", "Checker/x264_checker", "Checker/mmcl"}) {
        const std::filesystem::path link = std::filesystem::path(program) / tool;
        std::filesystem::create_directories(link.parent_path());
        std::filesystem::create_symlink(BuiltTool(tool), link);
    }
    return program;
}

}  // namespace kestrun::test
