// MKVToolnix/mkvextract: accepts the 2008 mkvextract command line, with tracks named by their
// Matroska track number, and runs Debian's mkvextract with the matching 0-based track IDs.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/fail.h"
#include "common/file_checks.h"
#include "common/legacy_options.h"
#include "common/mkvmerge_tracks.h"
#include "common/output_guard.h"
#include "common/run_program.h"
#include "legacy_extract_args.h"

namespace {

constexpr const char* kTool = "mkvextract";
constexpr int kErrorExit = 2;  // mkvextract's own code for "nothing extracted"

std::string TrackNumbersOf(const standin::TrackListing& listing) {
    std::string text;
    for (const auto& track : listing.tracks) {
        if (!track.number) continue;
        text += (text.empty() ? "" : ", ") + std::to_string(*track.number);
    }
    return text.empty() ? "none" : text;
}

// Finds the track of every legacy track number; false means failure (reported).
bool MapTrackNumbers(const standin::LegacyExtractRequest& request,
                     const standin::TrackListing& listing,
                     std::vector<const standin::MatroskaTrack*>* tracks) {
    for (const auto& target : request.targets) {
        const auto* track = standin::FindTrackByNumber(listing, target.number);
        if (track == nullptr) {
            standin::Fail(kTool, "no track number " + std::to_string(target.number) + " in " +
                                     request.source + " (its tracks: " + TrackNumbersOf(listing) +
                                     ")");
            return false;
        }
        tracks->push_back(track);
    }
    return true;
}

// The files a target makes: its own path, or for a VobSub track NAME.idx and NAME.sub, NAME being
// the path without its extension (mkvextract writes the pair whatever extension was named).
std::vector<std::string> FilesWritten(const standin::TrackTarget& target,
                                      const standin::MatroskaTrack& track) {
    if (track.codecId != "S_VOBSUB") return {target.path};
    std::filesystem::path name(target.path);
    return {std::filesystem::path(name).replace_extension(".idx").string(),
            name.replace_extension(".sub").string()};
}

// Every file the extraction writes, in order; empty when one of them may not be written
// (reported).
std::vector<std::string> UsableOutputs(const standin::LegacyExtractRequest& request,
                                       const std::vector<const standin::MatroskaTrack*>& tracks) {
    std::vector<std::string> outputs;
    for (size_t i = 0; i < request.targets.size(); ++i) {
        const auto& target = request.targets[i];
        for (const std::string& path : FilesWritten(target, *tracks[i])) {
            if (auto problem = standin::OutputFolderProblem(path); !problem.empty()) {
                standin::Fail(kTool, problem);
                return {};
            }
            if (standin::IsSameFile(path, request.source)) {
                standin::Fail(kTool, "output would overwrite the source: " + path);
                return {};
            }
            // The named file is the caller's to replace; its companion is not.
            struct stat info {};
            if (path != target.path && ::lstat(path.c_str(), &info) == 0) {
                standin::Fail(kTool, "track " + std::to_string(target.number) +
                                         " (VobSub) is written as an .idx and a .sub file, and " +
                                         path + " already exists; nothing was extracted");
                return {};
            }
            outputs.push_back(path);
        }
    }
    return outputs;
}

}  // namespace

int main(int argc, char** argv) {
    standin::LegacyExtractRequest request;
    std::string error;
    if (!standin::ParseLegacyExtractArgs({argv + 1, argv + argc}, &request, &error)) {
        standin::Fail(kTool, error);
        return kErrorExit;
    }
    request.source = standin::ResolveLegacyInputPath(request.source);
    const auto listing = standin::ListMatroskaTracks(request.source);
    if (!listing.error.empty()) {
        standin::Fail(kTool, listing.error);
        return kErrorExit;
    }
    std::vector<const standin::MatroskaTrack*> tracks;
    if (!MapTrackNumbers(request, listing, &tracks)) return kErrorExit;
    const std::vector<std::string> outputs = UsableOutputs(request, tracks);
    if (outputs.empty()) return kErrorExit;
    std::vector<long long> ids;
    for (const auto* track : tracks) ids.push_back(track->id);

    const standin::OutputGuard guard(outputs);
    const int code = standin::RunProgram(standin::ModernExtractCommand(request, ids));
    if (code < kErrorExit) return code;  // 0 done, 1 done with warnings
    standin::Fail(kTool, "extraction from " + request.source + " failed (exit code " +
                             std::to_string(code) + ")");
    guard.RemoveWrittenOutputs();
    return kErrorExit;
}
