#include "media_tools/samples.h"

#include <filesystem>
#include <stdexcept>

#include "media_tools/media_test_support.h"

namespace media_test {
const kestrun::test::TempFolder& WorkFolder() {
    static const kestrun::test::TempFolder folder("kestrun media 'tools' Été");
    return folder;
}

namespace {

void MakeRenumberedMkv(const std::string& path) {
    const kestrun::test::TempFolder scratch("kestrun-renumbered");
    const std::string srt =
        scratch.Write("sample.srt", "1\n00:00:00,100 --> 00:00:00,900\nHello\n\n");
    const std::string ass = scratch.Write(
        "sample.ass",
        "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\n"
        "Format: Name, Fontname, Fontsize\nStyle: Default,DejaVu Sans,20\n\n[Events]\n"
        "Format: Layer, Start, End, Style, Text\n"
        "Dialogue: 0,0:00:00.10,0:00:00.90,Default,Hello\n");
    const std::string plain = scratch / "plain.mkv";
    Ffmpeg({"-f",      "lavfi",    "-i",       "testsrc=size=128x96:rate=24000/1001:duration=1",
            "-f",      "lavfi",    "-i",       "sine=frequency=440:duration=1:sample_rate=48000",
            "-i",      srt,        "-i",       ass,
            "-map",    "0:v",      "-map",     "1:a",
            "-map",    "1:a",      "-map",     "2:s",
            "-map",    "3:s",      "-c:v",     "libx264",
            "-preset", "veryfast", "-bf",      "2",
            "-g",      "12",       "-pix_fmt", "yuv420p",
            "-c:a:0",  "ac3",      "-ac:a:0",  "6",
            "-c:a:1",  "aac",      "-ac:a:1",  "2",
            "-c:s:0",  "srt",      "-c:s:1",   "ass",
            plain});
    // plain.mkv holds: 0 video, 1 AC-3, 2 AAC, 3 SRT, 4 ASS. Listed anew: AAC, ASS, video, SRT,
    // AC-3, which mkvmerge numbers 1 to 5; those numbers then become 7, 3, 9, 2, 5.
    kestrun::test::Mkvmerge({"-o", path, "--track-order", "0:2,0:4,0:0,0:3,0:1", plain});
    if (!RenumberMatroskaTracks(path, {{1, 7}, {2, 3}, {3, 9}, {4, 2}, {5, 5}}))
        throw std::runtime_error("could not renumber the tracks of " + path);
}

}  // namespace

std::string PictureSubtitleMkv(const std::string& kind) {
    const std::string path = WorkFolder() / ("picture subtitles " + kind + ".mkv");
    if (!FileExists(path))
        std::filesystem::copy_file(kestrun::test::PictureSubtitleSample(kind), path);
    return path;
}

std::string AudioSample(const std::string& format) {
    const std::string path = WorkFolder() / ("sample." + format);
    if (!FileExists(path)) std::filesystem::copy_file(kestrun::test::ToneSample(format), path);
    return path;
}

std::string RenumberedMkv() {
    const std::string path = WorkFolder() / "source film.mkv";
    if (!FileExists(path))
        std::filesystem::copy_file(
            kestrun::test::CachedSample("media_tools renumbered mkv, recipe 1", "mkv",
                                        MakeRenumberedMkv),
            path);
    return path;
}

}  // namespace media_test
