#pragma once
// What the legacy report says about a Matroska file, gathered from mkvmerge's identification.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin::mkvinfo {

struct TrackFacts {
    std::string number;  // TrackNumber as stored (kept as text: it may exceed 32 bits)
    std::string uid;
    std::string type;          // "video", "audio", "subtitles", "buttons" or "unknown"
    bool placeholder = false;  // a TrackEntry mkvmerge did not list: only its position is known
    std::optional<bool> enabled, isDefault, forced;
    std::string codecId;
    std::vector<uint8_t> codecPrivate;
    uint64_t codecPrivateLength = 0;
    std::optional<uint64_t> defaultDurationNs;
    std::string language;
    std::optional<uint32_t> pixelWidth, pixelHeight;
    std::optional<uint32_t> displayWidth, displayHeight;  // already in pixels
    std::optional<double> samplingFrequency;
    std::optional<uint32_t> channels, bitDepth;
};

struct SegmentFacts {
    std::string docType = "matroska";
    std::optional<uint64_t> durationNs;
    std::string muxingApplication, writingApplication;
    std::string dateUtc;     // ISO 8601, "2024-01-31T12:00:00Z"
    std::string segmentUid;  // hex digits
    std::vector<TrackFacts> tracks;
};

}  // namespace standin::mkvinfo
