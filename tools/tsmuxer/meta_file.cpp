#include "meta_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/file_checks.h"

namespace standin::ts {
namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::invalid_argument LineError(int lineNumber, const std::string& what) {
    return std::invalid_argument("meta file line " + std::to_string(lineNumber) + ": " + what);
}

int PositiveNumber(const std::string& text, int lineNumber, const std::string& option) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > 100000)
        throw LineError(lineNumber, "bad value of " + option + ": " + text);
    return static_cast<int>(value);
}

// "H:MM:SS" with an optional fraction of a second ("1:02:03.5"), digits only, in 45 kHz ticks.
std::optional<int64_t> ChapterTime(const std::string& text) {
    size_t pos = 0;
    const auto number = [&](size_t fewest, size_t most, int64_t& value, size_t& count) {
        value = 0;
        count = 0;
        while (pos < text.size() && count < most && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + (text[pos++] - '0');
            ++count;
        }
        return count >= fewest;
    };
    const auto separator = [&](char c) { return pos < text.size() && text[pos++] == c; };
    int64_t hours = 0, minutes = 0, seconds = 0;
    size_t count = 0;
    if (!number(1, 4, hours, count) || !separator(':') || !number(2, 2, minutes, count) ||
        minutes >= 60 || !separator(':') || !number(2, 2, seconds, count) || seconds >= 60)
        return std::nullopt;
    int64_t ticks = ((hours * 60 + minutes) * 60 + seconds) * 45000;
    if (pos < text.size()) {
        int64_t fraction = 0;
        if (!separator('.') || !number(1, 9, fraction, count) || pos != text.size())
            return std::nullopt;
        int64_t scale = 1;
        for (size_t i = 0; i < count; ++i) scale *= 10;
        ticks += fraction * 45000 / scale;
    }
    return ticks;
}

MuxOptions ParseMuxOptions(const std::string& line, int lineNumber) {
    MuxOptions options;
    std::istringstream words(line.substr(6));
    std::string word;
    while (words >> word) {
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
        if (name == "--blu-ray") {
            options.bluRay = true;
        } else if (name == "--auto-chapters") {
            options.autoChapterMinutes = PositiveNumber(value, lineNumber, name);
        } else if (name == "--custom-chapters") {
            try {
                options.customChapters = ParseCustomChapters(value);
            } catch (const std::invalid_argument& e) {
                throw LineError(lineNumber, e.what());
            }
        } else if (name == "--split-size") {
            try {
                options.splitSize = ParseSplitSize(value);
            } catch (const std::invalid_argument& e) {
                throw LineError(lineNumber, e.what());
            }
        }
        // The other switches (--vbr, --vbv-len, --new-audio-pes, --no-pcr-on-video-pid) describe
        // what this muxer does anyway.
    }
    return options;
}

// The pieces after the quoted path: "key=value" separated by commas. A quoted value may hold
// commas.
void ParseParams(const std::string& rest, MetaTrack& track) {
    size_t pos = 0;
    while (pos <= rest.size()) {
        std::string piece;
        bool quoted = false;
        for (; pos < rest.size() && (quoted || rest[pos] != ','); ++pos) {
            if (rest[pos] == '"') quoted = !quoted;
            piece += rest[pos];
        }
        ++pos;
        piece = Trimmed(piece);
        if (piece.empty()) continue;
        const size_t equals = piece.find('=');
        if (equals == std::string::npos) throw LineError(track.lineNumber, "no value: " + piece);
        std::string value = Trimmed(piece.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        track.params[Trimmed(piece.substr(0, equals))] = value;
    }
}

MetaTrack ParseTrack(const std::string& line, int lineNumber) {
    MetaTrack track;
    track.lineNumber = lineNumber;
    const size_t comma = line.find(',');
    if (comma == std::string::npos) throw LineError(lineNumber, "no file: " + line);
    track.codec = Trimmed(line.substr(0, comma));
    const size_t open = line.find_first_not_of(" \t", comma + 1);
    if (open == std::string::npos || line[open] != '"')
        throw LineError(lineNumber, "the file name must stand in quotation marks");
    const size_t close = line.find('"', open + 1);
    if (close == std::string::npos) throw LineError(lineNumber, "unterminated file name");
    track.path = line.substr(open + 1, close - open - 1);
    if (track.path.empty()) throw LineError(lineNumber, "empty file name");
    std::string rest = line.substr(close + 1);
    ParseParams(rest, track);
    if (!track.IsVideo() && !track.IsAudio() && !track.IsSubtitle())
        throw LineError(lineNumber, "unknown track type " + track.codec);
    return track;
}

}  // namespace

std::optional<std::string> MetaTrack::Param(const std::string& key) const {
    const auto found = params.find(key);
    if (found == params.end()) return std::nullopt;
    return found->second;
}

MetaFile ParseMetaFile(const std::string& text) {
    MetaFile meta;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = Trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("MUXOPT", 0) == 0) {
            meta.options = ParseMuxOptions(line, lineNumber);
            continue;
        }
        meta.tracks.push_back(ParseTrack(line, lineNumber));
    }
    return meta;
}

MetaFile ReadMetaFile(const std::string& path) {
    return ParseMetaFile(ReadBoundedFile(path, 1 << 20, "meta file"));
}

std::vector<int64_t> ParseCustomChapters(const std::string& text) {
    std::vector<int64_t> starts;
    std::istringstream pieces(text);
    for (std::string piece; std::getline(pieces, piece, ';');) {
        if (piece.empty()) continue;
        if (starts.size() == kMaxChapterMarks)
            throw std::invalid_argument("more than " + std::to_string(kMaxChapterMarks) +
                                        " chapter times in --custom-chapters");
        const std::optional<int64_t> ticks = ChapterTime(piece);
        if (!ticks)
            throw std::invalid_argument("bad chapter time \"" + piece.substr(0, 40) +
                                        "\" in --custom-chapters (H:MM:SS.mmm)");
        starts.push_back(*ticks);
    }
    std::sort(starts.begin(), starts.end());
    return starts;
}

int64_t ParseSplitSize(const std::string& text) {
    const std::invalid_argument bad("bad split size \"" + text + "\"");
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(number) || number <= 0) throw bad;
    std::string unit(end);
    for (char& c : unit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    double factor = 0;
    if (unit.empty())
        factor = 1;
    else if (unit == "KB")
        factor = 1e3;
    else if (unit == "MB")
        factor = 1e6;
    else if (unit == "GB")
        factor = 1e9;
    else if (unit == "KIB")
        factor = 1024.0;
    else if (unit == "MIB")
        factor = 1024.0 * 1024;
    else if (unit == "GIB")
        factor = 1024.0 * 1024 * 1024;
    else
        throw bad;
    const double bytes = std::floor(number * factor);
    if (bytes < 1e6 || bytes > 1e15) throw bad;
    return static_cast<int64_t>(bytes);
}

}  // namespace standin::ts
