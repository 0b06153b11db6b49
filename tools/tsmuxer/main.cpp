// tsMuxeR: the transport-stream muxer of the AVCHD, M2TS and WMV chains.
//   tsmuxer META OUT
// reads the meta file META (see meta_file.h) and writes
//   - for OUT ending in ".m2ts": one Blu-ray transport stream (192-byte source packets);
//   - with --blu-ray on the MUXOPT line and any other OUT: the folder OUT holding a Blu-ray
//     structure with one title, cut into several clips with --split-size=. Its chapter marks
//     are the times of --custom-chapters=H:MM:SS.mmm;H:MM:SS.mmm;..., or else the chapters of
//     the Matroska file a track line names, when it has them, and else a mark every N minutes
//     for --auto-chapters=N.
// Subtitle lines become presentation graphics streams from PID 0x1200: text (SRT, SSA/ASS, or a
// text track of an MKV) drawn with libass, an MKV's PGS track as it is, its VobSub track
// converted. Failure: exit status 1 (2 for a bad command line) and a line on standard error; no
// output is left behind.
extern "C" {
#include <libavutil/log.h>
}

#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <system_error>

#include "base/partial_output_file.h"
#include "bdmv_folder.h"
#include "common/fail.h"
#include "common/file_checks.h"
#include "common/lib_names.h"
#include "meta_file.h"
#include "mux_inputs.h"
#include "source_chapters.h"
#include "ts_mux.h"

namespace {

namespace fs = std::filesystem;
using namespace standin::ts;

constexpr const char* kTool = "tsMuxeR";

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void CheckTracks(const MetaFile& meta) {
    int videos = 0, audios = 0, subtitles = 0;
    for (const MetaTrack& track : meta.tracks) {
        if (track.IsVideo()) ++videos;
        if (track.IsAudio()) ++audios;
        if (track.IsSubtitle()) ++subtitles;
    }
    if (videos != 1) throw std::runtime_error("the meta file must name exactly one video track");
    if (meta.options.bluRay && audios > 32)
        throw std::runtime_error("a Blu-ray title holds at most 32 audio tracks");
    if (subtitles > 32) throw std::runtime_error("a title holds at most 32 subtitle tracks");
}

void CheckBluRayStreams(const MuxResult& result) {
    for (const StreamAttributes& s : result.streams)
        if (s.codingType == 0)
            throw std::runtime_error(std::string("a Blu-ray structure cannot carry this ") +
                                     (s.video ? "video"
                                      : s.pg  ? "subtitle"
                                              : "audio") +
                                     " format; AC-3, DTS or PCM audio and H.264, VC-1 or MPEG-2 "
                                     "video are needed");
}

void WriteStreamFile(const MetaFile& meta, const std::string& out) {
    const std::string problem = standin::OutputFolderProblem(out);
    if (!problem.empty()) throw std::runtime_error(problem);
    if (meta.options.splitSize)
        std::cerr << kTool << ": warning: --split-size applies to Blu-ray output only" << std::endl;
    standin::PartialOutputFile partial(out);
    const auto inputs = OpenMuxInputs(meta);
    MuxM2ts(
        inputs, [&](int) { return partial.TempPath(); }, 0);
    partial.Commit();
}

// The structure is made under OUT.partial and renamed into place when complete.
class PartialFolder {
public:
    explicit PartialFolder(fs::path finalPath)
        : final_(std::move(finalPath)), temp_(final_.string() + ".partial") {
        std::error_code ignored;
        fs::remove_all(temp_, ignored);
    }
    ~PartialFolder() {
        std::error_code ignored;
        if (!committed_) fs::remove_all(temp_, ignored);
    }
    const fs::path& Temp() const { return temp_; }
    void Commit() {
        std::error_code error;
        if (fs::is_directory(final_)) fs::remove(final_, error);  // only an empty one goes
        fs::rename(temp_, final_, error);
        if (error)
            throw std::runtime_error("cannot rename " + temp_.string() + " to " + final_.string());
        committed_ = true;
    }

private:
    fs::path final_, temp_;
    bool committed_ = false;
};

// The chapter starts the marks are placed at: --custom-chapters (the start always keeps a mark:
// a first time after it is a mark of its own), or else the source's chapters.
std::vector<int64_t> ChapterStarts(const MetaFile& meta) {
    std::vector<int64_t> starts = meta.options.customChapters;
    if (starts.empty()) return SourceChapterStarts(meta);
    if (starts.front() > 0) starts.insert(starts.begin(), 0);
    return starts;
}

void WriteBluRayFolder(const MetaFile& meta, const std::string& out) {
    const fs::path root = fs::path(out).lexically_normal();
    if (fs::exists(root) && !(fs::is_directory(root) && fs::is_empty(root)))
        throw std::runtime_error("the output already exists: " + out);
    const std::string problem = standin::OutputFolderProblem(root.string());
    if (!problem.empty()) throw std::runtime_error(problem);
    PartialFolder folder(root);
    CreateBdmvFolders(folder.Temp());
    const auto inputs = OpenMuxInputs(meta);
    const MuxResult result = MuxM2ts(
        inputs, [&](int clip) { return StreamFilePath(folder.Temp(), clip); },
        meta.options.splitSize.value_or(0));
    CheckBluRayStreams(result);
    if (result.overLimit)
        std::cerr << kTool << ": warning: key frames lie too far apart to keep every clip below "
                  << *meta.options.splitSize << " bytes" << std::endl;
    WriteBdmvNavigation(folder.Temp(), result.clips, result.streams,
                        meta.options.autoChapterMinutes, ChapterStarts(meta));
    folder.Commit();
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(getenv("TSMUXER_DEBUG") ? AV_LOG_VERBOSE : AV_LOG_QUIET);
    if (argc != 3) {
        standin::Fail(kTool, "usage: tsmuxer META OUT");
        return 2;
    }
    const std::string metaPath = argv[1], out = argv[2];
    try {
        const MetaFile meta = ReadMetaFile(metaPath);
        CheckTracks(meta);
        const bool streamFile = EndsWith(out, ".m2ts") || EndsWith(out, ".M2TS");
        if (streamFile) {
            WriteStreamFile(meta, out);
        } else if (meta.options.bluRay) {
            WriteBluRayFolder(meta, out);
        } else {
            throw std::runtime_error(
                "the output must end in .m2ts, or be a folder with --blu-ray: " + out);
        }
        std::cout << kTool << ": wrote " << out << std::endl;
        return 0;
    } catch (const std::exception& e) {
        standin::Fail(kTool, e.what());
        return 1;
    }
}
