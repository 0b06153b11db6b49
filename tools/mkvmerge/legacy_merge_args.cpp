#include "legacy_merge_args.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "common/legacy_options.h"

namespace standin {
namespace {

// Options that take a value and name no track.
constexpr std::string_view kPlainValueOptions[] = {"-o",
                                                   "--output",
                                                   "--split",
                                                   "--split-max-files",
                                                   "--title",
                                                   "--chapters",
                                                   "--chapter-language",
                                                   "--chapter-charset",
                                                   "--chapter-sync",
                                                   "--cue-chapter-name-format",
                                                   "--global-tags",
                                                   "--segmentinfo",
                                                   "--timecode-scale",
                                                   "--timestamp-scale",
                                                   "--attach-file",
                                                   "--attach-file-once",
                                                   "--attachment-description",
                                                   "--attachment-mime-type",
                                                   "--attachment-name",
                                                   "--link-to-previous",
                                                   "--link-to-next",
                                                   "--append-mode",
                                                   "--append-to",
                                                   "--cluster-length",
                                                   "--default-language",
                                                   "--ui-language",
                                                   "--command-line-charset",
                                                   "--output-charset",
                                                   "--priority",
                                                   "-r",
                                                   "--redirect-output",
                                                   "--engage",
                                                   "-m",
                                                   "--attachments"};

// Per-file options whose value is a list of tracks ("1", "1,3", "!2").
constexpr std::string_view kTrackListOptions[] = {
    "-d",          "--vtracks", "--video-tracks",    "-a", "--atracks", "--audio-tracks",
    "-s",          "--stracks", "--subtitle-tracks", "-b", "--btracks", "--button-tracks",
    "--track-tags"};

// Per-file options whose value starts with one track ("2:eng", "2:500", "2").
constexpr std::string_view kTrackValueOptions[] = {"--language",
                                                   "-y",
                                                   "--sync",
                                                   "--default-track",
                                                   "--forced-track",
                                                   "--track-name",
                                                   "--cues",
                                                   "--aspect-ratio",
                                                   "--aspect-ratio-factor",
                                                   "--display-dimensions",
                                                   "--fourcc",
                                                   "--default-duration",
                                                   "--timecodes",
                                                   "--timestamps",
                                                   "--compression",
                                                   "--sub-charset",
                                                   "--tags",
                                                   "--cropping",
                                                   "--stereo-mode",
                                                   "--nalu-size-length",
                                                   "--blockadd",
                                                   "--reduce-to-core",
                                                   "--track-enabled-flag",
                                                   "--default-track-flag",
                                                   "--forced-display-flag"};

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

// A value still to be rewritten once the source file it applies to is known.
struct PendingTrackValue {
    size_t position = 0;  // index in the translated arguments
    bool isList = false;
};

class Translator {
public:
    Translator(const TrackIdLookup& lookup) : lookup_(lookup) {}

    MergeTranslation Run(const std::vector<std::string>& legacy) {
        for (size_t i = 0; i < legacy.size() && result_.error.empty(); ++i) {
            const std::string& arg = legacy[i];
            const bool hasValue = i + 1 < legacy.size();
            if (!IsOption(arg) || arg == "-") {
                AddSource(arg);
            } else if (hasValue && IsOneOf(kTrackListOptions, arg)) {
                AddPending(arg, legacy[++i], true);
            } else if (hasValue && IsOneOf(kTrackValueOptions, arg)) {
                AddPending(arg, legacy[++i], false);
            } else if (hasValue && IsOneOf(kPlainValueOptions, arg)) {
                AddPlainValue(arg, legacy[++i]);
            } else {
                result_.args.push_back(arg);
            }
        }
        return std::move(result_);
    }

private:
    void AddPlainValue(const std::string& option, const std::string& value) {
        std::string translated = value;
        if (option == "--split") translated = ModernSplitValue(value);
        if (option == "-o" || option == "--output") result_.output = value;
        result_.args.insert(result_.args.end(), {option, translated});
    }

    void AddPending(const std::string& option, const std::string& value, bool isList) {
        result_.args.insert(result_.args.end(), {option, value});
        pending_.push_back({result_.args.size() - 1, isList});
    }

    void AddSource(const std::string& arg) {
        if (arg == "(" || arg == ")" || arg == "+") {
            result_.args.push_back(arg);
            return;
        }
        const bool appended = arg[0] == '+';
        const std::string source = ResolveLegacyInputPath(appended ? arg.substr(1) : arg);
        result_.args.push_back(appended ? "+" + source : source);
        result_.sources.push_back(source);
        for (const auto& pending : pending_) {
            std::string& value = result_.args[pending.position];
            value = pending.isList ? MapList(source, value) : MapLeadingTrack(source, value);
        }
        pending_.clear();
    }

    std::string MapNumber(const std::string& source, const std::string& text) {
        const auto number = ParseWholeNumber(text);
        if (!number || *number < 0) return text;  // "-1" means every track; keep other words
        std::string error;
        const auto id = lookup_(source, *number, &error);
        if (!id) {
            if (result_.error.empty()) result_.error = error;
            return text;
        }
        return std::to_string(*id);
    }

    std::string MapList(const std::string& source, const std::string& list) {
        const bool negated = !list.empty() && list[0] == '!';
        std::string mapped = negated ? "!" : "";
        size_t start = negated ? 1 : 0;
        while (start <= list.size()) {
            const size_t comma = std::min(list.find(',', start), list.size());
            if (start > (negated ? 1u : 0u)) mapped += ',';
            mapped += MapNumber(source, list.substr(start, comma - start));
            start = comma + 1;
        }
        return mapped;
    }

    std::string MapLeadingTrack(const std::string& source, const std::string& value) {
        const size_t colon = value.find(':');
        const std::string track = value.substr(0, colon);
        const std::string rest = colon == std::string::npos ? "" : value.substr(colon);
        return MapNumber(source, track) + rest;
    }

    const TrackIdLookup& lookup_;
    MergeTranslation result_;
    std::vector<PendingTrackValue> pending_;
};

}  // namespace

std::string ModernSplitValue(const std::string& value) {
    std::string size = value;
    if (size.rfind("size:", 0) == 0) size = size.substr(5);
    if (size.empty()) return value;
    long long factor = 1;
    switch (std::toupper(static_cast<unsigned char>(size.back()))) {
        case 'K':
            factor = 1000LL;
            break;
        case 'M':
            factor = 1000LL * 1000;
            break;
        case 'G':
            factor = 1000LL * 1000 * 1000;
            break;
        default:
            break;
    }
    if (factor != 1) size.pop_back();
    const auto number = ParseWholeNumber(size);
    if (!number || *number <= 0 || size[0] == '+' || *number > (1LL << 62) / factor) return value;
    return "size:" + std::to_string(*number * factor);
}

MergeTranslation TranslateLegacyMergeArgs(const std::vector<std::string>& legacy,
                                          const TrackIdLookup& lookup) {
    return Translator(lookup).Run(legacy);
}

}  // namespace standin
