// Sources that once ended in a result reported as playable that was not: two video tracks, the
// 25 fps option on fast films, a variable frame rate, a download cut short. Each ends in a
// verified result, a refusal before any work that names the reason, or a result the check
// finds wanting.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "e2e/e2e_support.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

std::vector<std::string> Joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Raw H.264 at `rate` fps, `frames` long, for mkvmerge.
std::string RawH264(const std::string& rate, int frames) {
    return test::FfmpegSample({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=" + rate,
                               "-frames:v", std::to_string(frames), "-pix_fmt", "yuv420p", "-c:v",
                               "libx264", "-preset", "ultrafast", "-bf", "0"},
                              "h264");
}
std::string Ac3(double seconds) {
    return test::FfmpegSample(
        Joined({ToneInput(2, seconds), {"-t", std::to_string(seconds), "-c:a", "ac3"}}), "ac3");
}
std::string Mpeg2Video() {
    return test::FfmpegSample(
        {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-t", "2", "-c:v", "mpeg2video"},
        "m2v");
}

// A copy of `made` cut to half its size, as a broken-off download.
std::string HalfOf(const std::string& made, const fs::path& path) {
    fs::copy_file(made, path);
    fs::resize_file(path, fs::file_size(path) / 2);
    return path.string();
}

struct Case {
    const char* name;
    std::function<std::string(const fs::path& folder)> source;  // makes it, gives its path
    std::vector<std::string> command;  // "convert", "batch" (of a folder) or "check", options
    int exitCode;
    std::vector<const char*> said;  // on standard output or error
};

TEST(SourceFaults, EachEndsVerifiedOrRefusedWithTheReason) {
    const auto mkvWithTone = [](const std::string& video, const std::string& name) {
        return [video, name](const fs::path& folder) {
            const std::string path = (folder / name).string();
            test::Mkvmerge({"-o", path, video, Ac3(3)});
            return path;
        };
    };
    const auto wholeMkv = [] {
        return test::FfmpegSample(Joined({PictureInput("320x240"),
                                          ToneInput(2, 3),
                                          {"-t", "3", "-pix_fmt", "yuv420p", "-c:v", "libx264",
                                           "-preset", "ultrafast", "-c:a", "ac3"}}),
                                  "mkv");
    };
    const auto wholeAvi = [] {
        return test::FfmpegSample(
            Joined({PictureInput("320x240"),
                    ToneInput(2, 3),
                    {"-t", "3", "-c:v", "libxvid", "-vtag", "XVID", "-c:a", "libmp3lame"}}),
            "avi");
    };
    // 100 frames at 25, then 50, then 30 fps: 3.1 s.
    const auto varied = [](const fs::path& folder) {
        std::string timestamps = "# timestamp format v2\n";
        double ms = 0;
        for (int i = 0; i < 100; ++i) {
            timestamps += std::to_string(ms) + "\n";
            ms += i < 33 ? 40 : i < 66 ? 20 : 1000.0 / 30;
        }
        const std::string list = (folder / "timestamps.txt").string();
        std::ofstream(list) << timestamps;
        const std::string path = (folder / "Varied.mkv").string();
        test::Mkvmerge({"-o", path, "--timestamps", "0:" + list, RawH264("25", 100), Ac3(3)});
        return path;
    };
    const Case cases[] = {
        {"H.264 then MPEG-2",
         [](const fs::path& folder) {
             const std::string path = (folder / "Two.mkv").string();
             test::Mkvmerge({"-o", path, RawH264("24", 48), Ac3(2), Mpeg2Video()});
             return path;
         },
         {"convert"},
         0,
         {"Only the first video track is converted; left out: track 3 (V_MPEG2)",
          "verified: plays on the PS3"}},
        {"MPEG-2 then H.264",
         [](const fs::path& folder) {
             const std::string path = (folder / "Two.mkv").string();
             test::Mkvmerge({"-o", path, Mpeg2Video(), Ac3(2), RawH264("24", 48)});
             return path;
         },
         {"convert"},
         0,
         {"left out: track 3 (V_MPEG4/ISO/AVC)", "verified: plays on the PS3"}},
        {"--fps25 on 50 fps",
         mkvWithTone(RawH264("50", 100), "Fast.mkv"),
         {"convert", "--fps25"},
         2,
         {"--fps25 speeds up only films below 25 fps (23.976, 24); this source has 50"}},
        // The batch goes on without the option, as for a film whose sound is not decoded.
        {"--fps25 on 50 fps in a batch",
         [](const fs::path& folder) {
             fs::create_directory(folder / "films");
             test::Mkvmerge(
                 {"-o", (folder / "films" / "Fast.mkv").string(), RawH264("50", 100), Ac3(2)});
             return (folder / "films").string();
         },
         {"batch", "--fps25"},
         0,
         {"25 FPS output skipped: it speeds up only films below 25 fps (23.976, 24). The film "
          "keeps its frame rate of 50",
          "verified: plays on the PS3"}},
        // Re-encoded at one rate, frames repeated or dropped: the result keeps the length.
        {"variable frame rate",
         varied,
         {"convert"},
         0,
         {"The video's frame rate varies: it is re-encoded at one rate of 50.000 fps",
          "verified: plays on the PS3"}},
        {"variable frame rate: AVCHD",
         varied,
         {"convert", "--container", "avchd"},
         0,
         {"it is re-encoded at one rate of 50.000 fps", "verified: plays on the PS3"}},
        {"MKV cut short: check",
         [&](const fs::path& f) { return HalfOf(wholeMkv(), f / "Cut.mkv"); },
         {"check", "--platform", "ps3"},
         0,
         {"no conversion can fix it", "file whole      file cut short: the segment declares"}},
        {"MKV cut short: convert",
         [&](const fs::path& f) { return HalfOf(wholeMkv(), f / "Cut.mkv"); },
         {"convert"},
         0,
         {"The source is incomplete: the segment declares", "verified: plays on the PS3"}},
        {"AVI cut short: convert",
         [&](const fs::path& f) { return HalfOf(wholeAvi(), f / "Cut.avi"); },
         {"convert"},
         0,
         {"The source is incomplete: the RIFF chunk declares", "verified: plays on the PS3"}},
    };
    for (const Case& c : cases) {
        test::TempFolder temp("kestrun-e2e-faults");
        const ProgramFolderCopy program(temp.path());
        const std::string source = c.source(temp.path());
        std::vector<std::string> args = {program.Cli(), c.command.front()};
        if (c.command.front() != "check") args.insert(args.end(), {"--out", temp.path().string()});
        args.insert(args.end(), c.command.begin() + 1, c.command.end());
        args.push_back(source);
        const ProgramRun run = RunProgram(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.out << run.err;
        for (const char* text : c.said)
            EXPECT_NE((run.out + run.err).find(text), std::string::npos)
                << c.name << ": " << text << "\n"
                << run.out << run.err;
    }
}

}  // namespace
}  // namespace kestrun::e2e
