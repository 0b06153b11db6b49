#include "analysis/bdmv_playlist.h"

#include <algorithm>
#include <cstdint>

#include "media/byte_order.h"

namespace kestrun {
namespace {

constexpr size_t kPlayListAddressAt = 8;
constexpr size_t kClipNameLength = 5;
// Playlist header: its length (4), reserved (2), the play item count (2), the sub-path count (2).
constexpr size_t kItemCountAt = 6;
constexpr size_t kFirstItemAt = 10;

// Big-endian values; nothing when they lie past the end.
std::optional<uint32_t> Read(const std::string& bytes, size_t at, size_t width) {
    if (at > bytes.size() || bytes.size() - at < width) return std::nullopt;
    return static_cast<uint32_t>(
        media::ReadBe(reinterpret_cast<const unsigned char*>(bytes.data()) + at, width));
}

bool AllDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<std::vector<std::string>> PlaylistClips(const std::string& bytes,
                                                      std::string* error) {
    if (bytes.compare(0, 4, "MPLS") != 0) {
        *error = "no MPLS header";
        return std::nullopt;
    }
    const auto playList = Read(bytes, kPlayListAddressAt, 4);
    const auto count = playList ? Read(bytes, *playList + kItemCountAt, 2) : std::nullopt;
    if (!count) {
        *error = "the play list lies past the end";
        return std::nullopt;
    }
    std::vector<std::string> clips;
    size_t item = *playList + kFirstItemAt;
    for (uint32_t i = 0; i < *count; ++i) {
        const auto length = Read(bytes, item, 2);
        if (!length || *length < kClipNameLength || bytes.size() - item - 2 < *length) {
            *error = "play item " + std::to_string(i + 1) + " lies past the end";
            return std::nullopt;
        }
        const std::string clip = bytes.substr(item + 2, kClipNameLength);
        if (!AllDigits(clip)) {
            *error = "play item " + std::to_string(i + 1) + " names no clip";
            return std::nullopt;
        }
        clips.push_back(clip);
        item += 2 + *length;
    }
    if (clips.empty()) {
        *error = "no play item";
        return std::nullopt;
    }
    return clips;
}

}  // namespace kestrun
