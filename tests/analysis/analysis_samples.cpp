#include "analysis_samples.h"

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

#include "sample_media.h"

namespace kestrun::test {
namespace {

void Encode(const std::string& source, const std::vector<std::string>& codec,
            const std::string& output) {
    std::vector<std::string> args = {"-f", "lavfi", "-i", source};
    args.insert(args.end(), codec.begin(), codec.end());
    args.push_back(output);
    RunFfmpeg(args);
}

// Replaces the first occurrence of `from` in the file by `to` (same length).
void PatchBytes(const std::string& path, const std::string& from, const std::string& to) {
    std::string bytes = ReadWholeFile(path);
    const size_t at = bytes.find(from);
    if (at == std::string::npos) throw std::runtime_error("no " + from + " in " + path);
    bytes.replace(at, from.size(), to);
    WriteWholeFile(path, bytes);
}

std::vector<std::string> X264(std::vector<std::string> before) {
    before.insert(before.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"});
    return before;
}

void MakeAudio(const TempFolder& f) {
    Encode("sine=sample_rate=48000", {"-t", "0.5", "-c:a", "ac3"}, f / "audio.ac3");
}

void MakeSmallVideo(const TempFolder& f) {
    Encode("testsrc=size=320x240:rate=24000/1001", X264({"-t", "0.5"}), f / "video.h264");
}

void MakeMain(const TempFolder& f) {
    Encode("sine=sample_rate=48000", {"-t", "0.5", "-ac", "2", "-strict", "-2", "-c:a", "dca"},
           f / "audio.dts");
    WriteWholeFile(f / "subs.srt", "1\n00:00:00,000 --> 00:00:00,400\nHello\n");
    WriteWholeFile(f / "subs.ass",
                   "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, Fontname, "
                   "Fontsize\nStyle: Default,Arial,20\n\n[Events]\nFormat: Layer, Start, End, "
                   "Style, Text\nDialogue: 0,0:00:00.00,0:00:00.40,Default,Hi\n");
    RunMkvmerge({"-o", f / "main.mkv", f / "video.h264", "--language", "0:eng", f / "audio.ac3",
                 "--language", "0:ger", f / "audio.dts", "--language", "0:eng", f / "subs.srt",
                 "--language", "0:und", f / "subs.ass"});
}

void MakeWide(const TempFolder& f) {
    Encode("testsrc=size=1440x1080:rate=25", X264({"-frames:v", "2"}), f / "wide.h264");
    RunMkvmerge({"-o", f / "wide.mkv", "--display-dimensions", "0:1920x1080", f / "wide.h264",
                 f / "audio.ac3"});
}

void MakeMpeg2(const TempFolder& f) {
    Encode("testsrc=size=320x240:rate=25", {"-frames:v", "5", "-c:v", "mpeg2video"},
           f / "video.m2v");
    RunMkvmerge({"-o", f / "mpeg2.mkv", f / "video.m2v", f / "audio.ac3"});
}

void MakeXvid(const TempFolder& f) {
    Encode("testsrc=size=176x144:rate=25", {"-t", "0.4", "-c:v", "libxvid", "-vtag", "XVID"},
           f / "xvid-source.avi");
    RunMkvmerge({"-o", f / "xvid.mkv", f / "xvid-source.avi", f / "audio.ac3"});
}

// No encoder writes VC-1: a WMV2 track in VFW mode with its FourCC changed stands in.
void MakeVc1(const TempFolder& f) {
    Encode("testsrc=size=176x144:rate=25", {"-t", "0.4", "-c:v", "wmv2"}, f / "wmv2.avi");
    RunMkvmerge({"-o", f / "vc1.mkv", f / "wmv2.avi", f / "audio.ac3"});
    PatchBytes(f / "vc1.mkv", "WMV2", "WVC1");
}

void MakeDpb(const TempFolder& f) {
    Encode("testsrc=size=1920x1080:rate=24", X264({"-frames:v", "2", "-x264-params", "ref=16"}),
           f / "dpb.mkv");
}

void MakeForty(const TempFolder& f) {
    std::vector<std::string> forty = {"-o", f / "forty.mkv", f / "video.h264"};
    for (int i = 0; i < 40; ++i) forty.push_back(f / "audio.ac3");
    RunMkvmerge(forty);
}

void MakeAvi(const TempFolder& f, const std::string& name, std::vector<std::string> options) {
    std::vector<std::string> codec = {"-t", "1", "-c:v", "libxvid", "-vtag", "XVID"};
    codec.insert(codec.end(), options.begin(), options.end());
    Encode("testsrc=size=176x144:rate=25", codec, f / name);
}

}  // namespace

std::string AnalysisSample(const std::string& name) {
    static TempFolder folder("kestrun-samples");
    static std::set<std::string> made;
    const auto make = [&](const std::string& sample, const std::function<void()>& maker) {
        if (made.insert(sample).second) maker();
    };
    const TempFolder& f = folder;
    make("audio.ac3", [&] { MakeAudio(f); });
    if (name == "main.mkv" || name == "forty.mkv") make("video.h264", [&] { MakeSmallVideo(f); });
    const std::map<std::string, std::function<void()>> makers = {
        {"main.mkv", [&] { MakeMain(f); }},
        {"wide.mkv", [&] { MakeWide(f); }},
        {"mpeg2.mkv", [&] { MakeMpeg2(f); }},
        {"xvid.mkv", [&] { MakeXvid(f); }},
        {"vc1.mkv", [&] { MakeVc1(f); }},
        {"dpb.mkv", [&] { MakeDpb(f); }},
        {"forty.mkv", [&] { MakeForty(f); }},
        {"plain.avi", [&] { MakeAvi(f, "plain.avi", {}); }},
        {"qpel.avi",
         [&] {
             MakeAvi(f, "qpel.avi", {"-flags", "+qpel"});
         }},
        {"gmc.avi",
         [&] {
             MakeAvi(f, "gmc.avi", {"-gmc", "1"});
         }},
    };
    const auto maker = makers.find(name);
    if (maker == makers.end()) throw std::invalid_argument("no sample named " + name);
    make(name, maker->second);
    return f / name;
}

std::string MakeStandInProgramFolder(const TempFolder& root) {
    const std::string program = root / "program folder";
    for (const char* tool : {"MKVToolnix/mkvinfo", "Checker/x264_checker", "Checker/mmcl"}) {
        const std::filesystem::path link = std::filesystem::path(program) / tool;
        std::filesystem::create_directories(link.parent_path());
        std::filesystem::create_symlink(ProgramFolderTool(tool), link);
    }
    return program;
}

}  // namespace kestrun::test
