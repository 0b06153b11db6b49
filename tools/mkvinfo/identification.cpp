#include "identification.h"

#include <charconv>
#include <cmath>

#include "common/json.h"

namespace mkvinfo {

using standin::JsonValue;

namespace {

// mkvtoolnix 74 writes version 17; the fields read here have kept their meaning through it.
constexpr int64_t kKnownFormatVersions[] = {17};

constexpr uint32_t kDisplayUnitPixels = 0;
constexpr size_t kMaxTrackEntries = 4096;

std::string StringOf(const JsonValue* value, std::string fallback = {}) {
    if (value == nullptr) return fallback;
    if (auto text = value->AsString()) return *text;
    if (auto number = value->NumberText()) return *number;
    return fallback;
}

std::optional<uint64_t> UIntOf(const JsonValue* value) {
    return value == nullptr ? std::nullopt : value->AsUInt64();
}

std::optional<bool> BoolOf(const JsonValue* value) {
    return value == nullptr ? std::nullopt : value->AsBool();
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
void SetDisplaySize(TrackFacts& track, const JsonValue& properties) {
    const auto display = ParseDimensions(StringOf(properties.Find("display_dimensions")));
    const uint64_t unit = UIntOf(properties.Find("display_unit")).value_or(kDisplayUnitPixels);
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

TrackFacts ReadTrack(const JsonValue& track) {
    TrackFacts facts;
    const JsonValue* propertiesValue = track.Find("properties");
    static const JsonValue kNoProperties;
    const JsonValue& properties = propertiesValue ? *propertiesValue : kNoProperties;

    facts.type = TrackTypeText(StringOf(track.Find("type")));
    facts.number = StringOf(properties.Find("number"));
    facts.uid = StringOf(properties.Find("uid"));
    facts.enabled = BoolOf(properties.Find("enabled_track"));
    facts.isDefault = BoolOf(properties.Find("default_track"));
    facts.forced = BoolOf(properties.Find("forced_track"));
    facts.codecId = StringOf(properties.Find("codec_id"));
    facts.codecPrivate = DecodeHex(StringOf(properties.Find("codec_private_data")));
    facts.codecPrivateLength =
        UIntOf(properties.Find("codec_private_length")).value_or(facts.codecPrivate.size());
    facts.defaultDurationNs = UIntOf(properties.Find("default_duration"));
    if (facts.defaultDurationNs == 0u) facts.defaultDurationNs.reset();
    // The Matroska default for an absent Language element is English.
    facts.language = StringOf(properties.Find("language"), "eng");
    if (facts.language.empty()) facts.language = "eng";

    if (const auto pixels = ParseDimensions(StringOf(properties.Find("pixel_dimensions")))) {
        facts.pixelWidth = pixels->first;
        facts.pixelHeight = pixels->second;
    }
    if (facts.type == "video") SetDisplaySize(facts, properties);

    if (const JsonValue* frequency = properties.Find("audio_sampling_frequency"))
        facts.samplingFrequency = frequency->AsDouble();
    facts.channels = Small(UIntOf(properties.Find("audio_channels")));
    facts.bitDepth = Small(UIntOf(properties.Find("audio_bits_per_sample")));
    return facts;
}

TrackFacts PlaceholderTrack() {
    TrackFacts facts;
    facts.type = "unknown";
    facts.placeholder = true;
    return facts;
}

void CheckFormatVersion(const JsonValue& root) {
    const JsonValue* version = root.Find("identification_format_version");
    const auto number = version ? version->AsInt64() : std::nullopt;
    if (!number) throw IdentificationError("mkvmerge gave no identification format version");
    if (!IsKnownIdentificationFormat(*number))
        throw IdentificationError("mkvmerge identification format version " +
                                  std::to_string(*number) +
                                  " is not supported by this program (known: 17)");
}

void CheckContainer(const JsonValue& root) {
    for (const JsonValue& error :
         root.Find("errors") ? root.Find("errors")->Items() : std::vector<JsonValue>{}) {
        std::string text = StringOf(&error);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        if (!text.empty()) throw IdentificationError(text);
    }
    const JsonValue* container = root.Find("container");
    if (container == nullptr || BoolOf(container->Find("recognized")) != true)
        throw IdentificationError("not a Matroska file (the format was not recognised)");
    const std::string type = StringOf(container->Find("type"));
    if (type != "Matroska") throw IdentificationError("not a Matroska file (" + type + ")");
}

}  // namespace

bool IsKnownIdentificationFormat(int64_t version) {
    for (const int64_t known : kKnownFormatVersions) {
        if (version == known) return true;
    }
    return false;
}

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
    JsonValue root;
    try {
        root = standin::ParseJson(json);
    } catch (const standin::JsonError& e) {
        throw IdentificationError(std::string("unreadable identification from mkvmerge: ") +
                                  e.what());
    }
    CheckFormatVersion(root);
    CheckContainer(root);

    SegmentFacts segment;
    if (const JsonValue* properties = root.Find("container")->Find("properties")) {
        segment.durationNs = UIntOf(properties->Find("duration"));
        segment.muxingApplication = StringOf(properties->Find("muxing_application"));
        segment.writingApplication = StringOf(properties->Find("writing_application"));
        segment.dateUtc = StringOf(properties->Find("date_utc"));
        segment.segmentUid = StringOf(properties->Find("segment_uid"));
    }
    const JsonValue* tracks = root.Find("tracks");
    if (tracks == nullptr || tracks->Items().empty())
        throw IdentificationError("no track headers could be read (damaged or truncated file?)");

    // Track IDs count the TrackEntry elements from 0. Should mkvmerge leave one out, a placeholder
    // keeps the positions of the following tracks, which the report's readers count.
    for (const JsonValue& track : tracks->Items()) {
        const uint64_t id = UIntOf(track.Find("id")).value_or(segment.tracks.size());
        while (segment.tracks.size() < id && segment.tracks.size() < kMaxTrackEntries)
            segment.tracks.push_back(PlaceholderTrack());
        segment.tracks.push_back(ReadTrack(track));
    }
    return segment;
}

}  // namespace mkvinfo
