#pragma once
// Where each track of a Matroska source begins: the first timestamp of its media, as the demuxer
// reads it from the first clusters. A track that begins later than the others carries a delay
// (what "mkvmerge --sync" writes) that the conversion has to keep.
#include <cstdint>
#include <map>
#include <string>

namespace kestrun::media {

// Milliseconds from the start of the file, keyed by Matroska TrackNumber (the number the track
// report and the window speak of), for the first video track and every audio track. A track that
// could not be matched to its stream, or that holds no packet near the start, is left out; a
// file that cannot be read gives an empty map.
std::map<int, std::int64_t> ReadTrackStartsMs(const std::string& path);

}  // namespace kestrun::media
