#include "legacy_extract_args.h"

#include <string_view>

#include "common/mkvmerge_tracks.h"

namespace standin {
namespace {

constexpr std::string_view kModes[] = {"tracks",   "timecodes_v2", "timestamps_v2", "tags",
                                       "chapters", "attachments",  "cuesheet"};

// Options of mkvextract that take a value in the next argument.
constexpr std::string_view kOptionsWithValue[] = {
    "-c", "--blockadd", "--ui-language", "--command-line-charset", "--output-charset", "-r"};

bool IsKnownMode(const std::string& mode) { return IsOneOf(kModes, mode); }

bool TakesValue(const std::string& option) { return IsOneOf(kOptionsWithValue, option); }

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

}  // namespace

bool ModeTakesTrackTargets(const std::string& mode) {
    return mode == "tracks" || mode == "timecodes_v2" || mode == "timestamps_v2";
}

bool ParseLegacyExtractArgs(const std::vector<std::string>& args, LegacyExtractRequest* request,
                            std::string* error) {
    if (args.size() < 2) {
        *error = "usage: mkvextract tracks SOURCE [options] TRACK:OUTPUT [TRACK:OUTPUT ...]";
        return false;
    }
    if (!IsKnownMode(args[0])) {
        *error = "unknown mode '" + args[0] +
                 "' (expected tracks, timecodes_v2, tags, chapters, "
                 "attachments or cuesheet before the source file)";
        return false;
    }
    request->mode = args[0];
    request->source = args[1];
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsOption(arg)) {
            request->options.push_back(arg);
            if (TakesValue(arg) && i + 1 < args.size()) request->options.push_back(args[++i]);
            continue;
        }
        if (!ModeTakesTrackTargets(request->mode)) {
            request->others.push_back(arg);
            continue;
        }
        auto target = ParseTrackTarget(arg);
        if (!target || target->path.empty()) {
            *error = "not a TRACK:OUTPUT pair: '" + arg + "'";
            return false;
        }
        target->path = WindowsTrimmedPath(target->path);
        request->targets.push_back(std::move(*target));
    }
    if (ModeTakesTrackTargets(request->mode) && request->targets.empty()) {
        *error = "no TRACK:OUTPUT pair given";
        return false;
    }
    return true;
}

std::vector<std::string> ModernExtractCommand(const LegacyExtractRequest& request,
                                              const std::vector<long long>& trackIds) {
    const std::string mode = request.mode == "timecodes_v2" ? "timestamps_v2" : request.mode;
    std::vector<std::string> command = {kMkvextractProgram, request.source, mode};
    command.insert(command.end(), request.options.begin(), request.options.end());
    for (size_t i = 0; i < request.targets.size() && i < trackIds.size(); ++i)
        command.push_back(std::to_string(trackIds[i]) + ":" + request.targets[i].path);
    command.insert(command.end(), request.others.begin(), request.others.end());
    return command;
}

}  // namespace standin
