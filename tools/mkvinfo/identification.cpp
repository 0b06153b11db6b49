#include "identification.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "common/json_fields.h"

namespace standin::mkvinfo {
namespace {

// mkvtoolnix 74 writes version 17. Later versions only add fields; the ones read here keep
// their meaning, and a version that drops one of them is caught by the checks below.
constexpr int64_t kFirstKnownFormatVersion = 17;

constexpr uint32_t kDisplayUnitPixels = 0;
constexpr size_t kMaxTrackEntries = 4096;

// A string, or a whole number in its digits (track numbers and UIDs are numbers in the report).
std::string TextOr(const Json* value, std::string fallback = {}) {
    return TextOf(value).value_or(std::move(fallback));
}

std::optional<uint32_t> Small(std::optional<uint64_t> value) {
    if (!value || *value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(*value);
}

std::vector<uint8_t> DecodeHex(std::string_view hex) {
    std::vector<uint8_t> bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        uint8_t byte = 0;
        const auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
        if (ec != std::errc() || end != hex.data() + i + 2) return {};
        bytes.push_back(byte);
    }
    return bytes;
}

std::string TrackTypeText(const std::string& jsonType) {
    if (jsonType == "video" || jsonType == "audio" || jsonType == "subtitles" ||
        jsonType == "buttons")
        return jsonType;
    return "unknown";
}

// Display size in pixels. Matroska's DisplayWidth/Height default to the pixel size; a unit other
// than pixels (centimetres, inches, aspect ratio) only gives the shape, which is scaled to the
// pixel height.
void SetDisplaySize(TrackFacts& track, const Json* properties) {
    const auto display = ParseDimensions(TextOr(Member(properties, "display_dimensions")));
    const uint64_t unit = UInt64Of(Member(properties, "display_unit")).value_or(kDisplayUnitPixels);
    if (!display || display->first == 0 || display->second == 0) {
        track.displayWidth = track.pixelWidth;
        track.displayHeight = track.pixelHeight;
        return;
    }
    if (unit == kDisplayUnitPixels || !track.pixelHeight) {
        track.displayWidth = display->first;
        track.displayHeight = display->second;
        return;
    }
    const double width =
        std::round(static_cast<double>(*track.pixelHeight) * display->first / display->second);
    track.displayWidth = static_cast<uint32_t>(std::min<double>(width, UINT32_MAX));
    track.displayHeight = track.pixelHeight;
}

// What every track must say for the report to mean anything; its absence is a failure, never an
// empty line.
void CheckTrackFields(const Json& track, size_t position) {
    const auto lacks = [&](const std::string& what) {
        return IdentificationError("mkvmerge's identification lacks the " + what + " of track " +
                                   std::to_string(position + 1));
    };
    const Json* properties = Member(track, "properties");
    if (!properties || !properties->is_object()) throw lacks("properties");
    if (!TextOf(Member(track, "type"))) throw lacks("type");
    if (!TextOf(Member(properties, "codec_id"))) throw lacks("codec ID");
    if (!TextOf(Member(properties, "number"))) throw lacks("track number");
}

TrackFacts ReadTrack(const Json& track) {
    TrackFacts facts;
    const Json* properties = Member(track, "properties");

    facts.type = TrackTypeText(TextOr(Member(track, "type")));
    facts.number = TextOr(Member(properties, "number"));
    facts.uid = TextOr(Member(properties, "uid"));
    facts.enabled = BoolOf(Member(properties, "enabled_track"));
    facts.isDefault = BoolOf(Member(properties, "default_track"));
    facts.forced = BoolOf(Member(properties, "forced_track"));
    facts.codecId = TextOr(Member(properties, "codec_id"));
    facts.codecPrivate = DecodeHex(TextOr(Member(properties, "codec_private_data")));
    facts.codecPrivateLength =
        UInt64Of(Member(properties, "codec_private_length")).value_or(facts.codecPrivate.size());
    facts.defaultDurationNs = UInt64Of(Member(properties, "default_duration"));
    if (facts.defaultDurationNs == 0u) facts.defaultDurationNs.reset();
    // The Matroska default for an absent Language element is English.
    facts.language = TextOr(Member(properties, "language"), "eng");
    if (facts.language.empty()) facts.language = "eng";

    if (const auto pixels = ParseDimensions(TextOr(Member(properties, "pixel_dimensions")))) {
        facts.pixelWidth = pixels->first;
        facts.pixelHeight = pixels->second;
    }
    if (facts.type == "video") SetDisplaySize(facts, properties);

    facts.samplingFrequency = DoubleOf(Member(properties, "audio_sampling_frequency"));
    facts.channels = Small(UInt64Of(Member(properties, "audio_channels")));
    facts.bitDepth = Small(UInt64Of(Member(properties, "audio_bits_per_sample")));
    return facts;
}

TrackFacts PlaceholderTrack() {
    TrackFacts facts;
    facts.type = "unknown";
    facts.placeholder = true;
    return facts;
}

void CheckFormatVersion(const Json& root) {
    const auto number = Int64Of(Member(root, "identification_format_version"));
    if (!number) throw IdentificationError("mkvmerge gave no identification format version");
    if (!IsKnownIdentificationFormat(*number))
        throw IdentificationError("mkvmerge identification format version " +
                                  std::to_string(*number) + " is older than version " +
                                  std::to_string(kFirstKnownFormatVersion) +
                                  ", the first this program reads");
}

void CheckContainer(const Json& root) {
    for (const Json& error : ItemsOf(Member(root, "errors"))) {
        std::string text = TextOr(&error);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        if (!text.empty()) throw IdentificationError(text);
    }
    const Json* container = Member(root, "container");
    if (!container || !Member(container, "recognized"))
        throw IdentificationError("mkvmerge's identification lacks the container");
    if (BoolOf(Member(container, "recognized")) != true)
        throw IdentificationError("not a Matroska file (the format was not recognised)");
    const std::string type = TextOr(Member(container, "type"));
    if (type != "Matroska") throw IdentificationError("not a Matroska file (" + type + ")");
}

}  // namespace

bool IsKnownIdentificationFormat(int64_t version) { return version >= kFirstKnownFormatVersion; }

std::optional<std::pair<uint32_t, uint32_t>> ParseDimensions(std::string_view text) {
    const size_t x = text.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    uint32_t width = 0;
    uint32_t height = 0;
    const auto [wEnd, wEc] = std::from_chars(text.data(), text.data() + x, width);
    const auto [hEnd, hEc] =
        std::from_chars(text.data() + x + 1, text.data() + text.size(), height);
    if (wEc != std::errc() || hEc != std::errc() || wEnd != text.data() + x ||
        hEnd != text.data() + text.size())
        return std::nullopt;
    return std::make_pair(width, height);
}

SegmentFacts ReadIdentification(std::string_view json) {
    Json root;
    try {
        root = Json::parse(json);
    } catch (const Json::exception& e) {
        throw IdentificationError(std::string("unreadable identification from mkvmerge: ") +
                                  e.what());
    }
    CheckFormatVersion(root);
    CheckContainer(root);

    SegmentFacts segment;
    const Json* properties = Member(Member(root, "container"), "properties");
    segment.durationNs = UInt64Of(Member(properties, "duration"));
    segment.muxingApplication = TextOr(Member(properties, "muxing_application"));
    segment.writingApplication = TextOr(Member(properties, "writing_application"));
    segment.dateUtc = TextOr(Member(properties, "date_utc"));
    segment.segmentUid = TextOr(Member(properties, "segment_uid"));
    const Json* trackList = Member(root, "tracks");
    if (!trackList || !trackList->is_array())
        throw IdentificationError("mkvmerge's identification lacks the track list");
    const Json& tracks = ItemsOf(trackList);
    if (tracks.empty())
        throw IdentificationError("no track headers could be read (damaged or truncated file?)");

    // Track IDs count the TrackEntry elements from 0. Should mkvmerge leave one out, a placeholder
    // keeps the positions of the following tracks, which the report's readers count.
    for (const Json& track : tracks) {
        const uint64_t id = UInt64Of(Member(track, "id")).value_or(segment.tracks.size());
        while (segment.tracks.size() < id && segment.tracks.size() < kMaxTrackEntries)
            segment.tracks.push_back(PlaceholderTrack());
        CheckTrackFields(track, segment.tracks.size());
        segment.tracks.push_back(ReadTrack(track));
    }
    return segment;
}

}  // namespace standin::mkvinfo
