#include "legacy_report.h"

namespace kestrun::test {
namespace {

std::string TrackHead(int number, const std::string& type) {
    return "| + A track\n"
           "|  + Track number: " +
           std::to_string(number) +
           "\n"
           "|  + Track UID: " +
           std::to_string(1000 + number) +
           "\n"
           "|  + Track type: " +
           type +
           "\n"
           "|  + Enabled: 1\n"
           "|  + Default flag: 1\n"
           "|  + Forced flag: 0\n"
           "|  + Lacing flag: 0\n"
           "|  + MinCache: 0\n"
           "|  + Timecode scale: 1.000000\n"
           "|  + Max BlockAddition ID: 0\n";
}

}  // namespace

std::string DurationLine(const std::string& ms, const std::string& fps) {
    return "|  + Default duration: " + ms + "ms (" + fps + " fps for a video track)\n";
}

std::string VideoTrack(int number, const std::string& codecId, int pixelWidth, int pixelHeight,
                       int displayWidth, const std::string& durationLine) {
    return TrackHead(number, "video") + "|  + Codec ID: " + codecId + "\n" +
           "|  + Codec decode all: 1\n"
           "|  + CodecPrivate, length 39\n" +
           durationLine +
           "|  + Language: eng\n"
           "|  + Video track\n"
           "|   + Pixel width: " +
           std::to_string(pixelWidth) + "\n" +
           "|   + Pixel height: " + std::to_string(pixelHeight) + "\n" +
           "|   + Interlaced: 0\n"
           "|   + Display width: " +
           std::to_string(displayWidth) + "\n" +
           "|   + Display height: " + std::to_string(pixelHeight) + "\n";
}

std::string AudioTrack(int number, const std::string& codecId, const std::string& language) {
    return TrackHead(number, "audio") + "|  + Codec ID: " + codecId + "\n" +
           "|  + Codec decode all: 1\n" + DurationLine("32.000", "31.250") +
           "|  + Language: " + language + "\n" +
           "|  + Audio track\n"
           "|   + Sampling frequency: 48000.000000\n"
           "|   + Channels: 6\n";
}

std::string SubtitleTrack(int number, const std::string& codecId, const std::string& language) {
    return TrackHead(number, "subtitles") + "|  + Codec ID: " + codecId + "\n" +
           "|  + Codec decode all: 1\n"
           "|  + Language: " +
           language + "\n";
}

std::string LegacyReport(const std::vector<std::string>& tracks) {
    std::string report =
        "+ EBML head\n"
        "|+ Doc type: matroska\n"
        "+ Segment, size 1153738746\n"
        "|+ Segment information\n"
        "| + Timecode scale: 1000000\n"
        "| + Duration: 2595.968s (00:43:15.968000000)\n"
        "|+ Segment tracks\n";
    for (const std::string& track : tracks) report += track;
    return report + "|+ EbmlVoid (size: 1024)\n|+ Cluster\n";
}

}  // namespace kestrun::test
