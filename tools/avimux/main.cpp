// avimux/avimux_gui: runs an AVI-Mux GUI script (mux_script.h) and writes each START's AVI with
// FFmpeg: every video and audio stream of the loaded files, copied. With MAXFILESIZE set the AVI
// is cut at key frames into pieces of at most that many MiB: the first keeps the START name,
// the next are named "<name>-2.avi", "<name>-3.avi", ...
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/partial_output_file.h"
#include "common/fail.h"
#include "common/ffmpeg_runner.h"
#include "common/file_checks.h"
#include "common/lib_names.h"
#include "common/run_program.h"
#include "mux_script.h"

namespace {

namespace fs = std::filesystem;
constexpr const char* kTool = "avimux_gui";
// Pieces are cut at key frames after the planned time, so they are planned a little short.
constexpr double kPieceHeadroom = 0.9;

long long FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

double Seconds(const std::string& path) {
    const std::string text = standin::CaptureProgram(
        {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path});
    return std::atof(text.c_str());
}

int MuxWhole(const standin::MuxJob& job, const std::string& target) {
    auto args = standin::FfmpegCommandHead();
    for (const auto& file : job.files) args.insert(args.end(), {"-i", file});
    for (size_t i = 0; i < job.files.size(); ++i)
        args.insert(args.end(),
                    {"-map", std::to_string(i) + ":v?", "-map", std::to_string(i) + ":a?"});
    args.insert(args.end(), {"-c", "copy", "-f", "avi", target});
    return standin::RunProgram(args);
}

// Cuts `whole` into pieces of at most `limit` bytes planned by time; returns the piece files.
std::vector<std::string> CutIntoPieces(const std::string& whole, const std::string& output,
                                       long long limit) {
    const double pieceSeconds =
        Seconds(whole) * kPieceHeadroom * static_cast<double>(limit) / FileSize(whole);
    const fs::path out(output);
    const std::string pattern =
        (out.parent_path() / (out.stem().string() + ".piece%03d.partial")).string();
    auto args = standin::FfmpegCommandHead();
    args.insert(args.end(), {"-i", whole, "-map", "0", "-c", "copy", "-f", "segment",
                             "-segment_time", std::to_string(pieceSeconds), "-reset_timestamps",
                             "1", "-segment_format", "avi", pattern});
    std::vector<std::string> pieces;
    const int code = standin::RunProgram(args);
    for (int i = 0;; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, ".piece%03d.partial", i);
        const std::string piece = (out.parent_path() / (out.stem().string() + name)).string();
        if (!fs::exists(piece)) break;
        pieces.push_back(piece);
    }
    if (code != 0) {
        for (const auto& piece : pieces) std::remove(piece.c_str());
        pieces.clear();
    }
    return pieces;
}

std::string PieceName(const std::string& output, size_t index) {
    if (index == 0) return output;
    const fs::path out(output);
    return (out.parent_path() /
            (out.stem().string() + "-" + std::to_string(index + 1) + out.extension().string()))
        .string();
}

int RunJob(const standin::MuxJob& job) {
    if (job.files.empty()) {
        standin::Fail(kTool, "nothing loaded to mux into " + job.output);
        return 1;
    }
    for (const auto& file : job.files) {
        if (auto problem = standin::InputFileProblem(file); !problem.empty()) {
            standin::Fail(kTool, problem);
            return 1;
        }
        if (standin::IsSameFile(file, job.output)) {
            standin::Fail(kTool, "output would overwrite its own input: " + job.output);
            return 1;
        }
    }
    if (auto problem = standin::OutputFolderProblem(job.output); !problem.empty()) {
        standin::Fail(kTool, problem);
        return 1;
    }
    standin::PartialOutputFile whole(job.output);
    if (MuxWhole(job, whole.TempPath()) != 0 || FileSize(whole.TempPath()) == 0) {
        standin::Fail(kTool, "muxing " + job.output + " failed");
        return 1;
    }
    const long long limit = job.maxFileMiB ? *job.maxFileMiB << 20 : 0;
    if (limit == 0 || FileSize(whole.TempPath()) <= limit) {
        whole.Commit();
        return 0;
    }
    const auto pieces = CutIntoPieces(whole.TempPath(), job.output, limit);
    if (pieces.empty()) {
        standin::Fail(kTool, "cutting " + job.output + " into pieces failed");
        return 1;
    }
    for (size_t i = 0; i < pieces.size(); ++i) fs::rename(pieces[i], PieceName(job.output, i));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        standin::Fail(kTool, "usage: avimux_gui SCRIPT.amg");
        return 1;
    }
    std::string text;
    try {
        text = standin::ReadBoundedFile(argv[1], 1 << 20, "script");
    } catch (const std::runtime_error& e) {
        standin::Fail(kTool, e.what());
        return 1;
    }
    const auto result =
        standin::InterpretMuxScript(text, fs::absolute(argv[1]).parent_path().string());
    if (!result.error.empty()) {
        standin::Fail(kTool, std::string(argv[1]) + ": " + result.error);
        return 1;
    }
    try {
        for (const auto& job : result.jobs)
            if (const int code = RunJob(job); code != 0) return code;
    } catch (const std::exception& e) {
        standin::Fail(kTool, e.what());
        return 1;
    }
    return 0;
}
