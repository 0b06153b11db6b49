// MP4Box: the MP4 muxer of the conversion chains.
//   MP4Box [-fps RATE] -add FILE[:fps=RATE][:par=W:H][:delay=MS] [-add ...] [-new] DEST.mp4
//          [-tmp DIR]
//     imports each FILE (a raw H.264 stream, ADTS AAC, or any file FFmpeg reads) into DEST.mp4,
//     keeping the tracks DEST.mp4 already has unless -new is given.
//   MP4Box -aviraw video FILE.avi
//     writes the AVI's video stream as a raw stream, FILE_video.h264 for H.264.
// Failure: exit status 1 (2 for a bad command line) and a line on standard error; the
// destination is then left as it was.
extern "C" {
#include <libavutil/log.h>
}

#include <sys/stat.h>

#include <iostream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "avi_raw_export.h"
#include "common/fail.h"
#include "common/file_checks.h"
#include "common/lib_names.h"
#include "common/raw_h264_source.h"
#include "container_source.h"
#include "delayed_source.h"
#include "media/libav_handles.h"
#include "mp4_writer.h"
#include "mp4box_command_line.h"
#include "read_ahead_source.h"

namespace {

constexpr const char* kTool = "MP4Box";

bool HasRawH264Extension(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* known : {"h264", "264", "h26l", "26l", "avc", "jsv", "x264"}) {
        if (extension == known) return true;
    }
    return false;
}

bool IsRawH264File(const std::string& path) {
    if (HasRawH264Extension(path)) return true;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, standin::AvFilePath(path).c_str(), nullptr, nullptr) < 0)
        return false;
    const standin::InputPtr probe(context);
    return std::string(probe->iformat->name) == "h264";
}

// A destination that exists with content is added to, as MP4Box edits an existing file.
bool KeepsExistingTracks(const standin::Mp4BoxCommand& command) {
    struct stat info {};
    if (command.forceNew || ::stat(command.target.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode))
        throw std::runtime_error("the destination is a folder: " + command.target);
    return info.st_size > 0;
}

std::unique_ptr<standin::PacketSource> UndelayedSourceFor(const standin::AddedFile& file,
                                                          const standin::Mp4BoxCommand& command) {
    if (IsRawH264File(file.path))
        return std::make_unique<standin::RawH264Source>(
            file.path, file.fps ? file.fps : command.fps, file.par, /*lengthPrefixed=*/true);
    if (file.fps || file.par)
        std::cerr << kTool << ": frame rate and pixel aspect apply to raw video only; ignored for "
                  << file.path << std::endl;
    return std::make_unique<standin::ContainerSource>(file.path);
}

std::unique_ptr<standin::PacketSource> SourceFor(const standin::AddedFile& file,
                                                 const standin::Mp4BoxCommand& command) {
    auto source = UndelayedSourceFor(file, command);
    if (file.delayMs && *file.delayMs != 0)
        source = std::make_unique<standin::DelayedSource>(std::move(source), *file.delayMs);
    return std::make_unique<standin::ReadAheadSource>(std::move(source));
}

void ImportFiles(const standin::Mp4BoxCommand& command) {
    for (const auto& file : command.added) {
        const std::string problem = standin::InputFileProblem(file.path);
        if (!problem.empty()) throw std::runtime_error(problem);
    }
    const std::string folderProblem = standin::OutputFolderProblem(command.target);
    if (!folderProblem.empty()) throw std::runtime_error(folderProblem);

    std::vector<std::unique_ptr<standin::PacketSource>> sources;
    if (KeepsExistingTracks(command))
        sources.push_back(std::make_unique<standin::ContainerSource>(command.target));
    for (const auto& file : command.added) sources.push_back(SourceFor(file, command));
    standin::WriteMp4(sources, command.target);
    std::cout << kTool << ": wrote " << command.target << std::endl;
}

void ExportAviRaw(const standin::Mp4BoxCommand& command) {
    const std::string problem = standin::InputFileProblem(command.target);
    if (!problem.empty()) throw std::runtime_error(problem);
    const std::string written = standin::ExportAviVideo(command.target);
    std::cout << kTool << ": wrote " << written << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);  // failures are reported in one line of our own
    standin::Mp4BoxCommand command;
    try {
        command = standin::ParseMp4BoxCommand(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        standin::Fail(kTool, e.what());
        return 2;
    }
    try {
        if (command.aviRawType)
            ExportAviRaw(command);
        else
            ImportFiles(command);
        return 0;
    } catch (const std::exception& e) {
        standin::Fail(kTool, e.what());
        return 1;
    }
}
