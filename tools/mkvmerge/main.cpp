// MKVToolnix/mkvmerge: accepts the 2008 mkvmerge command line (tracks named by their Matroska
// track number, split sizes in kB) and runs Debian's mkvmerge with the same meaning.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/fail.h"
#include "common/file_checks.h"
#include "common/mkvmerge_tracks.h"
#include "common/output_guard.h"
#include "common/run_program.h"
#include "legacy_merge_args.h"

namespace {

constexpr const char* kTool = "mkvmerge";
constexpr int kErrorExit = 2;  // mkvmerge's own code for a failed run

// Reads each source's track list once and answers the translation's questions from it.
class TrackIds {
public:
    std::optional<long long> Find(const std::string& source, long long number, std::string* error) {
        auto it = listings_.find(source);
        if (it == listings_.end())
            it = listings_.emplace(source, standin::ListMatroskaTracks(source)).first;
        const standin::TrackListing& listing = it->second;
        if (!listing.error.empty()) {
            *error = listing.error;
            return std::nullopt;
        }
        if (const auto* track = standin::FindTrackByNumber(listing, number)) return track->id;
        *error = "no track number " + std::to_string(number) + " in " + source;
        return std::nullopt;
    }

private:
    std::map<std::string, standin::TrackListing> listings_;
};

// The files a run may write for the output name `output`: the name itself and every split piece
// mkvmerge derives from it ("x.mkv" gives "x-001.mkv", "x-002.mkv", ...).
std::vector<std::string> PieceFiles(const std::string& output) {
    const size_t slash = output.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : output.substr(0, slash);
    const std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    const std::string stem = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);

    std::vector<std::string> files;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return files;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        const bool isPiece = candidate.size() > stem.size() + extension.size() &&
                             candidate.compare(0, stem.size() + 1, stem + "-") == 0 &&
                             candidate.ends_with(extension);
        if (candidate == name || isPiece)
            files.push_back(slash == std::string::npos ? candidate : folder + "/" + candidate);
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

// After a failed run: removes the pieces it wrote, so that no later step takes a half-written
// piece for a finished one. Files that were there before and did not change stay.
void RemoveWrittenPieces(const std::string& output, const std::vector<std::string>& before,
                         const standin::OutputGuard& guard) {
    guard.RemoveWrittenOutputs();
    for (const auto& file : PieceFiles(output)) {
        if (std::find(before.begin(), before.end(), file) == before.end())
            std::remove(file.c_str());
    }
}

std::string SourceProblem(const standin::MergeTranslation& call) {
    if (call.sources.empty()) return "no source file given";
    for (const auto& source : call.sources) {
        if (auto problem = standin::InputFileProblem(source); !problem.empty()) return problem;
        if (!call.output.empty() && standin::IsSameFile(source, call.output))
            return "output would overwrite the source: " + call.output;
    }
    if (call.output.empty()) return "no output file given (-o)";
    return standin::OutputFolderProblem(call.output);
}

}  // namespace

int main(int argc, char** argv) {
    TrackIds ids;
    const auto call = standin::TranslateLegacyMergeArgs(
        {argv + 1, argv + argc},
        [&ids](const std::string& source, long long number, std::string* error) {
            return ids.Find(source, number, error);
        });
    std::string problem = call.error.empty() ? SourceProblem(call) : call.error;
    if (!problem.empty()) {
        standin::Fail(kTool, problem);
        return kErrorExit;
    }

    const auto before = PieceFiles(call.output);
    const standin::OutputGuard guard(before);
    std::vector<std::string> command = {standin::kMkvmergeProgram};
    command.insert(command.end(), call.args.begin(), call.args.end());
    const int code = standin::RunProgram(command);
    if (code < kErrorExit) return code;  // 0 done, 1 done with warnings
    standin::Fail(kTool,
                  "writing " + call.output + " failed (exit code " + std::to_string(code) + ")");
    RemoveWrittenPieces(call.output, before, guard);
    return kErrorExit;
}
