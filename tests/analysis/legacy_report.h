#pragma once
// Track reports in the legacy mkvinfo layout, composed for the parser tests.
#include <string>
#include <vector>

namespace kestrun::test {

std::string DurationLine(const std::string& ms, const std::string& fps);

std::string VideoTrack(int number, const std::string& codecId, int pixelWidth, int pixelHeight,
                       int displayWidth,
                       const std::string& durationLine = DurationLine("41.708", "23.976"));
std::string AudioTrack(int number, const std::string& codecId, const std::string& language);
std::string SubtitleTrack(int number, const std::string& codecId, const std::string& language);

// The header, the tracks in order and the closing cluster line.
std::string LegacyReport(const std::vector<std::string>& tracks);

}  // namespace kestrun::test
