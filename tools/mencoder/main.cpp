// Mencoder/Mencoder: accepts the MEncoder command lines of the conversion chains and does the
// encode with Debian's MEncoder or, where that gets the result wrong, with FFmpeg (engines.h).
// The result is written under a temporary name and only a complete, non-empty file takes the
// name after -o. Progress goes to standard output as MEncoder's "Pos: ... (NN%) ... Trem:" lines.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "base/partial_output_file.h"
#include "common/fail.h"
#include "common/ffmpeg_runner.h"
#include "common/file_checks.h"
#include "common/lib_names.h"
#include "common/run_program.h"
#include "engine_process.h"
#include "engines.h"

namespace {

namespace fs = std::filesystem;
constexpr const char* kTool = "Mencoder";

// Whether the file's first bytes are `magic`; reads no more than those.
bool StartsWith(const std::string& path, const std::string& magic) {
    std::ifstream in(path, std::ios::binary);
    std::string head(magic.size(), '\0');
    return in.read(head.data(), static_cast<std::streamsize>(head.size())) && head == magic;
}

std::string FileProblems(const standin::MencoderCall& call) {
    for (const std::string* input : {&call.input, &call.audioFile}) {
        if (input->empty()) continue;
        if (auto problem = standin::InputFileProblem(*input); !problem.empty()) return problem;
        if (standin::IsSameFile(*input, call.output))
            return "output would overwrite its own input: " + call.output;
    }
    if (call.subtitles && call.subtitles->kind == standin::SubtitleKind::VobSub) {
        const std::string& index = call.subtitles->file;
        const std::string name = index.substr(0, index.size() - 4);
        const std::string pictures = standin::VobSubPicturesFile(index);
        for (const std::string& file : {index, pictures})
            if (auto problem = standin::InputFileProblem(file); !problem.empty())
                return "-vobsub " + name + " reads " + name + ".idx and " + name +
                       ".sub: " + problem;
        // FFmpeg would read no pictures from anything else, and the film would go without them.
        if (!StartsWith(pictures, std::string("\0\0\1\xBA", 4)))
            return "subtitle file is not VobSub pictures (an MPEG program stream, starting with "
                   "00 00 01 BA): " +
                   pictures;
    } else if (call.subtitles && call.subtitles->kind == standin::SubtitleKind::Pgs) {
        if (auto problem = standin::InputFileProblem(call.subtitles->file); !problem.empty())
            return "subtitle " + problem;
        if (!StartsWith(call.subtitles->file, "PG"))
            return "subtitle file is not a PGS stream (a .sup file starts with \"PG\"): " +
                   call.subtitles->file;
    } else if (call.subtitles) {
        if (auto problem = standin::InputFileProblem(call.subtitles->file); !problem.empty())
            return "subtitle " + problem;
        if (!call.subtitles->font.empty())
            if (auto problem = standin::InputFileProblem(call.subtitles->font); !problem.empty())
                return "font " + problem;
    }
    return standin::OutputFolderProblem(call.output);
}

// A private folder with the subtitle (a VobSub's .idx with its .sub) and the font under plain
// names, removed at the end.
class SubtitleFolder {
public:
    explicit SubtitleFolder(const standin::SubtitleRequest& request) {
        char pattern[] = "/tmp/kestrun-subtitles-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        folder_ = pattern;
        std::string extension = fs::path(request.file).extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        files.subtitle = folder_ + "/subtitle" + extension;
        fs::create_symlink(fs::absolute(request.file), files.subtitle);
        if (request.kind == standin::SubtitleKind::VobSub)  // FFmpeg reads NAME.sub beside it
            fs::create_symlink(fs::absolute(standin::VobSubPicturesFile(request.file)),
                               folder_ + "/subtitle.sub");
        if (!request.font.empty() && !request.IsPicture()) {
            files.fontsDir = folder_ + "/fonts";
            fs::create_directory(files.fontsDir);
            fs::create_symlink(fs::absolute(request.font), files.fontsDir + "/font.ttf");
            files.fontFamily =
                standin::CaptureProgram({"fc-scan", "--format", "%{family[0]}", request.font});
        }
    }
    ~SubtitleFolder() {
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }
    standin::SubtitleFiles files;

private:
    std::string folder_;
};

// Shows the engine's progress once per percent.
class ProgressEcho {
public:
    explicit ProgressEcho(double seconds) : seconds_(seconds) {}

    // MEncoder's own lines: "Pos: ... (NN%) ...".
    void FromMencoder(std::string_view line) {
        if (line.rfind("Pos:", 0) != 0) {
            std::cout << line << '\n';
            return;
        }
        const size_t open = line.find('(');
        const int percent = open == std::string_view::npos ? -1 : std::atoi(line.data() + open + 1);
        Show(percent, std::string(line));
    }

    // FFmpeg's -progress keys.
    void FromFfmpeg(std::string_view line) {
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) return;
        const std::string key(line.substr(0, eq)), value(line.substr(eq + 1));
        if (key == "frame") frames_ = std::atoll(value.c_str());
        if (key == "fps") fps_ = std::atof(value.c_str());
        if (key == "out_time_us") position_ = std::atof(value.c_str()) / 1e6;
        if (key != "progress" || seconds_ <= 0) return;
        const double part = std::clamp(position_ / seconds_, 0.0, 1.0);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double left = part > 0 ? elapsed * (1 - part) / part / 60 : 0;
        const int percent = value == "end" ? 100 : static_cast<int>(part * 100);
        Show(percent, standin::ProgressLine(position_, frames_, percent, fps_, left));
    }

private:
    void Show(int percent, const std::string& line) {
        if (percent == shown_) return;
        shown_ = percent;
        std::cout << line << std::endl;
    }

    double seconds_;
    double position_ = 0, fps_ = 0;
    long long frames_ = 0;
    int shown_ = -1;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

long long FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

int Encode(int argc, char** argv) {
    const auto call = standin::ParseMencoderArgs({argv + 1, argv + argc});
    std::string problem = call.error.empty() ? FileProblems(call) : call.error;
    const standin::MediaFacts facts =
        problem.empty() ? standin::ProbeMedia(call.input) : standin::MediaFacts{};
    if (problem.empty()) problem = facts.error;
    standin::SubtitleFacts pictures;
    if (problem.empty() && call.subtitles && call.subtitles->IsPicture()) {
        pictures = standin::ProbeSubtitles(call.subtitles->file);
        problem = pictures.error;
    }
    if (!problem.empty()) {
        standin::Fail(kTool, problem);
        return 1;
    }

    standin::PartialOutputFile output(call.output);
    ProgressEcho progress(facts.seconds);
    int code = 0;
    if (standin::EngineFor(call) == standin::Engine::Ffmpeg) {
        std::optional<SubtitleFolder> subtitles;
        if (call.subtitles) subtitles.emplace(*call.subtitles);
        standin::SubtitleFiles files = subtitles ? subtitles->files : standin::SubtitleFiles{};
        files.pictureOffsetUs = pictures.startUs - facts.startUs;
        files.canvasWidth = pictures.width;
        files.canvasHeight = pictures.height;
        const auto args = standin::FfmpegArgs(call, facts, files, output.TempPath());
        code = standin::RunReadingLines(args, [&](std::string_view l) { progress.FromFfmpeg(l); });
    } else {
        const auto args = standin::MencoderArgs(call, facts, output.TempPath());
        code =
            standin::RunReadingLines(args, [&](std::string_view l) { progress.FromMencoder(l); });
    }
    // Debian's MEncoder ends with 0 after some failures without writing anything.
    if (code != 0 || FileSize(output.TempPath()) == 0) {
        standin::Fail(kTool, "encoding " + call.input + " to " + call.output + " failed" +
                                 (code != 0 ? " (exit code " + std::to_string(code) + ")" : ""));
        return 1;
    }
    try {
        output.Commit();
    } catch (const std::exception& e) {
        standin::Fail(kTool, e.what());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Encode(argc, argv);
    } catch (const std::exception& e) {
        // An option value the engines cannot read (a text where a number belongs).
        standin::Fail(kTool, e.what());
        return 1;
    }
}
