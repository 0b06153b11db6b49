#include "legacy_report.h"

#include <cstdio>
#include <ctime>
#include <sstream>

#include "media/byte_order.h"

namespace standin::mkvinfo {

namespace {

constexpr size_t kBiCompressionOffset = 16;
// In place of a frame rate or size that neither the file nor its stream gives.
constexpr const char* kUnknown = "unknown";

std::string Printf(const char* format, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

class ReportWriter {
public:
    void Line(int level, const std::string& text) {
        if (level > 0) out_ << '|' << std::string(static_cast<size_t>(level - 1), ' ');
        out_ << "+ " << text << '\n';
    }
    std::string Text() const { return out_.str(); }

private:
    std::ostringstream out_;
};

// "2008-01-15T03:43:23Z" -> "Tue Jan 15 03:43:23 2008 UTC" (the C library's asctime form).
std::string LegacyDate(const std::string& isoUtc) {
    std::tm parts{};
    if (isoUtc.empty() || strptime(isoUtc.c_str(), "%Y-%m-%dT%H:%M:%S", &parts) == nullptr)
        return {};
    const time_t seconds = timegm(&parts);
    std::tm utc{};
    if (gmtime_r(&seconds, &utc) == nullptr) return {};
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%a %b ", &utc);
    return buffer + Printf("%2d %02d:%02d:%02d %d UTC", utc.tm_mday, utc.tm_hour, utc.tm_min,
                           utc.tm_sec, utc.tm_year + 1900);
}

std::string LegacyDuration(uint64_t ns) {
    const uint64_t seconds = ns / 1000000000;
    return Printf("Duration: %.3fs (%02llu:%02llu:%02llu.%09llu)", static_cast<double>(ns) / 1e9,
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60),
                  static_cast<unsigned long long>(seconds % 60),
                  static_cast<unsigned long long>(ns % 1000000000));
}

std::string LegacySegmentUid(const std::string& hex) {
    std::string text = "Segment UID:";
    for (size_t i = 0; i + 1 < hex.size(); i += 2) text += " 0x" + hex.substr(i, 2);
    return text;
}

void WriteSegmentInformation(ReportWriter& report, const SegmentFacts& segment) {
    report.Line(1, "Segment information");
    report.Line(2, "Timecode scale: 1000000");
    if (!segment.muxingApplication.empty())
        report.Line(2, "Muxing application: " + segment.muxingApplication);
    if (!segment.writingApplication.empty())
        report.Line(2, "Writing application: " + segment.writingApplication);
    if (segment.durationNs) report.Line(2, LegacyDuration(*segment.durationNs));
    if (const std::string date = LegacyDate(segment.dateUtc); !date.empty())
        report.Line(2, "Date: " + date);
    if (!segment.segmentUid.empty()) report.Line(2, LegacySegmentUid(segment.segmentUid));
}

std::string FlagText(const char* name, bool value) {
    return std::string(name) + ": " + (value ? "1" : "0");
}

std::string CodecPrivateLine(const TrackFacts& track) {
    std::string text = "CodecPrivate, length " + std::to_string(track.codecPrivateLength);
    if (track.type == "video" && track.codecId == "V_MS/VFW/FOURCC")
        text += FourCcSuffix(track.codecPrivate);
    else if (track.type == "audio" && track.codecId == "A_MS/ACM" && track.codecPrivate.size() >= 2)
        text +=
            Printf(" (format tag: 0x%04x)", kestrun::media::ReadLe16(track.codecPrivate.data()));
    return text;
}

std::string SizeText(std::optional<uint32_t> size) {
    return size && *size > 0 ? std::to_string(*size) : std::string(kUnknown);
}

void WriteVideoBlock(ReportWriter& report, const TrackFacts& track) {
    report.Line(3, "Video track");
    report.Line(4, "Pixel width: " + SizeText(track.pixelWidth));
    report.Line(4, "Pixel height: " + SizeText(track.pixelHeight));
    report.Line(4, "Display width: " +
                       SizeText(track.displayWidth ? track.displayWidth : track.pixelWidth));
    report.Line(4, "Display height: " +
                       SizeText(track.displayHeight ? track.displayHeight : track.pixelHeight));
}

void WriteAudioBlock(ReportWriter& report, const TrackFacts& track) {
    if (!track.samplingFrequency && !track.channels && !track.bitDepth) return;
    report.Line(3, "Audio track");
    if (track.samplingFrequency)
        report.Line(4, Printf("Sampling frequency: %f", *track.samplingFrequency));
    if (track.channels) report.Line(4, "Channels: " + std::to_string(*track.channels));
    if (track.bitDepth) report.Line(4, "Bit depth: " + std::to_string(*track.bitDepth));
}

// Names are left out on purpose: a name such as "English subtitles" would read as a track type
// to the line scanners downstream, and nothing needs the name.
void WriteTrack(ReportWriter& report, const TrackFacts& track) {
    report.Line(2, "A track");
    if (track.placeholder) {
        report.Line(3, "Track type: unknown");
        return;
    }
    report.Line(3, "Track number: " + track.number);
    if (!track.uid.empty()) report.Line(3, "Track UID: " + track.uid);
    report.Line(3, "Track type: " + track.type);
    if (track.enabled) report.Line(3, FlagText("Enabled", *track.enabled));
    if (track.isDefault) report.Line(3, FlagText("Default flag", *track.isDefault));
    if (track.forced) report.Line(3, FlagText("Forced flag", *track.forced));
    report.Line(3, "Codec ID: " + track.codecId);
    if (track.codecPrivateLength > 0) report.Line(3, CodecPrivateLine(track));
    if (track.defaultDurationNs) {
        report.Line(3, DefaultDurationText(*track.defaultDurationNs));
    } else if (track.type == "video") {
        // The readers of the report look for this line in every video track.
        report.Line(3, std::string("Default duration: ") + kUnknown + " (" + kUnknown +
                           " fps for a video track)");
    }
    report.Line(3, "Language: " + track.language);
    if (track.type == "video")
        WriteVideoBlock(report, track);
    else if (track.type == "audio")
        WriteAudioBlock(report, track);
}

}  // namespace

std::string DefaultDurationText(uint64_t durationNs) {
    // The 2.x tool converted the nanoseconds to single precision before printing.
    const float ns = static_cast<float>(durationNs);
    return Printf("Default duration: %.3fms (%.3f fps for a video track)", ns / 1000000.0,
                  1000000000.0 / ns);
}

std::string FourCcSuffix(const std::vector<uint8_t>& bitmapInfoHeader) {
    if (bitmapInfoHeader.size() < kBiCompressionOffset + 4) return {};
    const uint8_t* fourCc = bitmapInfoHeader.data() + kBiCompressionOffset;
    std::string characters;
    for (int i = 0; i < 4; ++i)
        characters += (fourCc[i] >= 0x20 && fourCc[i] < 0x7F) ? static_cast<char>(fourCc[i]) : '?';
    const uint32_t value = kestrun::media::ReadLe32(fourCc);
    return Printf(" (FourCC: %s, 0x%08x)", characters.c_str(), value);
}

std::string FormatLegacyReport(const SegmentFacts& segment) {
    ReportWriter report;
    report.Line(0, "EBML head");
    report.Line(1, "Doc type: " + segment.docType);
    report.Line(0, "Segment");
    WriteSegmentInformation(report, segment);
    report.Line(1, "Segment tracks");
    for (const TrackFacts& track : segment.tracks) WriteTrack(report, track);
    report.Line(1, "Cluster");
    return report.Text();
}

}  // namespace standin::mkvinfo
