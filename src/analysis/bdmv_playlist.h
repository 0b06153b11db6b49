#pragma once
// The clips a Blu-ray or AVCHD playlist (".mpls", ".MPL") plays, in order, read from its play
// items: each names a clip by five digits, the stem of its stream file in BDMV/STREAM.
#include <optional>
#include <string>
#include <vector>

namespace kestrun {

// The clip names ("00000", ...) of the playlist's play items; nothing, with the reason in
// `error`, when the bytes are not a playlist.
std::optional<std::vector<std::string>> PlaylistClips(const std::string& bytes, std::string* error);

}  // namespace kestrun
