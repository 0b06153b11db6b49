#include "common/mkvmerge_tracks.h"

#include <nlohmann/json.hpp>

#include "common/file_checks.h"
#include "common/json_fields.h"
#include "common/run_program.h"

namespace standin {
namespace {

std::string FirstError(const Json& report) {
    const Json& errors = ItemsOf(Member(report, "errors"));
    if (errors.empty()) return {};
    std::string text = StringOf(&errors.front()).value_or(std::string{});
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

bool IsRecognised(const Json& report) {
    return BoolOf(Member(Member(&report, "container"), "recognized")).value_or(false);
}

MatroskaTrack TrackOf(const Json& item) {
    MatroskaTrack track;
    track.id = Int64Of(Member(item, "id")).value_or(-1);
    track.type = StringOf(Member(item, "type")).value_or(std::string{});
    const Json* properties = Member(item, "properties");
    track.number = Int64Of(Member(properties, "number"));
    track.codecId = StringOf(Member(properties, "codec_id")).value_or(std::string{});
    return track;
}

}  // namespace

TrackListing ListMatroskaTracks(const std::string& source) {
    TrackListing listing;
    if (listing.error = InputFileProblem(source); !listing.error.empty()) return listing;
    int exitCode = 0;
    const std::string json = CaptureProgram({kMkvmergeProgram, "-J", source}, &exitCode);
    if (exitCode == 127 && json.empty()) {
        listing.error = std::string("cannot start ") + kMkvmergeProgram;
        return listing;
    }
    return ParseTrackListing(json, source);
}

TrackListing ParseTrackListing(const std::string& json, const std::string& source) {
    TrackListing listing;
    Json report;
    try {
        report = Json::parse(json);
    } catch (const Json::exception&) {
        listing.error = "cannot read the track list of " + source;
        return listing;
    }
    if (const std::string error = FirstError(report); !error.empty()) {
        listing.error = "cannot read " + source + ": " + error;
        return listing;
    }
    if (!IsRecognised(report)) {
        listing.error = "unrecognised or damaged file: " + source;
        return listing;
    }
    for (const Json& item : ItemsOf(Member(report, "tracks")))
        listing.tracks.push_back(TrackOf(item));
    return listing;
}

const MatroskaTrack* FindTrackByNumber(const TrackListing& listing, long long number) {
    for (const MatroskaTrack& track : listing.tracks) {
        if (track.number && *track.number == number && track.id >= 0) return &track;
    }
    return nullptr;
}

}  // namespace standin
