#pragma once
// The text report in the layout of the 2.x mkvinfo (console output, without -v): one line per
// element, "|" plus (level - 1) spaces, "+ " and the element's text.
#include <string>

#include "track_facts.h"

namespace standin::mkvinfo {

// Tracks are written in TrackEntry order, each with its lines in the order the 2.x muxer wrote
// them: number, UID, type, flags, codec ID, codec private data, default duration, language, then
// the video or audio block. Every video track has a default-duration line and a display width,
// every track a language line, so that readers that scan forward for them stay in the track.
std::string FormatLegacyReport(const SegmentFacts& segment);

// "Default duration: 41.708ms (23.976 fps for a video track)" (without the line prefix).
std::string DefaultDurationText(uint64_t durationNs);

// " (FourCC: WVC1, 0x31435657)" for a BITMAPINFOHEADER; empty when the data is too short.
std::string FourCcSuffix(const std::vector<uint8_t>& bitmapInfoHeader);

}  // namespace standin::mkvinfo
