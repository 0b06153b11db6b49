// MKVToolnix/mkvextract: accepts the 2008 mkvextract command line, with tracks named by their
// Matroska track number, and runs Debian's mkvextract with the matching 0-based track IDs.
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

// Finds today's ID for every legacy track number; an empty result means failure (reported).
bool MapTrackNumbers(const standin::LegacyExtractRequest& request,
                     const standin::TrackListing& listing, std::vector<long long>* ids) {
    for (const auto& target : request.targets) {
        const auto* track = standin::FindTrackByNumber(listing, target.number);
        if (track == nullptr) {
            standin::Fail(kTool, "no track number " + std::to_string(target.number) + " in " +
                                     request.source + " (its tracks: " + TrackNumbersOf(listing) +
                                     ")");
            return false;
        }
        ids->push_back(track->id);
    }
    return true;
}

bool OutputsAreUsable(const standin::LegacyExtractRequest& request) {
    for (const auto& target : request.targets) {
        if (auto problem = standin::OutputFolderProblem(target.path); !problem.empty()) {
            standin::Fail(kTool, problem);
            return false;
        }
        if (standin::IsSameFile(target.path, request.source)) {
            standin::Fail(kTool, "output would overwrite the source: " + target.path);
            return false;
        }
    }
    return true;
}

std::vector<std::string> OutputPaths(const standin::LegacyExtractRequest& request) {
    std::vector<std::string> paths;
    for (const auto& target : request.targets) paths.push_back(target.path);
    return paths;
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
    std::vector<long long> ids;
    if (!MapTrackNumbers(request, listing, &ids) || !OutputsAreUsable(request)) return kErrorExit;

    const standin::OutputGuard guard(OutputPaths(request));
    const int code = standin::RunProgram(standin::ModernExtractCommand(request, ids));
    if (code < kErrorExit) return code;  // 0 done, 1 done with warnings
    standin::Fail(kTool, "extraction from " + request.source + " failed (exit code " +
                             std::to_string(code) + ")");
    guard.RemoveWrittenOutputs();
    return kErrorExit;
}
