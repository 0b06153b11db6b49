#include "common/mkvmerge_tracks.h"

#include "common/ffmpeg_runner.h"
#include "common/json.h"
#include "common/run_program.h"

namespace standin {
namespace {

std::string TextOf(const JsonValue* value) {
    if (value == nullptr) return {};
    return value->AsString().value_or(std::string{});
}

std::optional<long long> WholeOf(const JsonValue* value) {
    if (value == nullptr) return std::nullopt;
    const auto number = value->AsInt64();
    if (!number) return std::nullopt;
    return static_cast<long long>(*number);
}

std::string FirstError(const JsonValue& report) {
    const JsonValue* errors = report.Find("errors");
    if (errors == nullptr || errors->Items().empty()) return {};
    std::string text = TextOf(&errors->Items().front());
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

bool IsRecognised(const JsonValue& report) {
    const JsonValue* container = report.Find("container");
    if (container == nullptr) return false;
    const JsonValue* recognised = container->Find("recognized");
    return recognised != nullptr && recognised->AsBool().value_or(false);
}

MatroskaTrack TrackOf(const JsonValue& item) {
    MatroskaTrack track;
    track.id = WholeOf(item.Find("id")).value_or(-1);
    track.type = TextOf(item.Find("type"));
    if (const JsonValue* properties = item.Find("properties")) {
        track.number = WholeOf(properties->Find("number"));
        track.codecId = TextOf(properties->Find("codec_id"));
    }
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
    JsonValue report;
    try {
        report = ParseJson(json);
    } catch (const JsonError&) {
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
    if (const JsonValue* tracks = report.Find("tracks")) {
        for (const JsonValue& item : tracks->Items()) listing.tracks.push_back(TrackOf(item));
    }
    return listing;
}

const MatroskaTrack* FindTrackByNumber(const TrackListing& listing, long long number) {
    for (const MatroskaTrack& track : listing.tracks) {
        if (track.number && *track.number == number && track.id >= 0) return &track;
    }
    return nullptr;
}

}  // namespace standin
