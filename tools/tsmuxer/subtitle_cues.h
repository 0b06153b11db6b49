#pragma once
// Timed subtitle texts and where they come from: an SRT file (read here, strictly, so that a
// broken file is refused with the line at fault), an SSA/ASS file, or a text track of a Matroska
// file (SRT, SSA or ASS). Styling of SSA/ASS events is reduced to the text; SRT's <i>, <b> and <u>
// stay as the renderer's italics, bold and underline.
#include <cstdint>
#include <string>
#include <vector>

namespace standin::ts {

struct SubtitleCue {
    int64_t startMs = 0;
    int64_t endMs = 0;
    std::string text;  // UTF-8; lines separated by '\n'; may hold {\i1}-style switches
};

// Control bytes other than tab and line ends are dropped from every text read here; a cue holds at
// most kMaxCueTextBytes.
inline constexpr size_t kMaxCueTextBytes = 8192;

// Parses SRT text. A file that is not valid UTF-8 is taken as Windows-1252. Throws
// std::invalid_argument "<name> line N: ..." for a block it cannot read.
std::vector<SubtitleCue> ParseSrt(const std::string& text, const std::string& name);

// The text of an SSA/ASS event's Text field: override blocks dropped, \N and \n as line breaks,
// \h as a space.
std::string PlainAssText(const std::string& assText);

// The text of one packet of a Matroska text track: SRT text (`ass` false) with its markup, or an
// SSA/ASS event reduced to its text. Throws std::length_error for a longer cue than a cue can be.
std::string TextTrackCueText(const std::string& data, bool ass);

// The cues of a subtitle file (SRT by default; SSA/ASS by their header), or, with `trackNumber`
// > 0, of that text track of a Matroska file, in milliseconds from the first video frame (an SRT
// or SSA/ASS file counts from 0). Sorted by start. Throws std::runtime_error naming the file.
std::vector<SubtitleCue> ReadSubtitleCues(const std::string& path, int64_t trackNumber);

}  // namespace standin::ts
