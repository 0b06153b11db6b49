#include "media/declared_duration.h"

#include <charconv>
#include <string>

extern "C" {
#include <libavutil/parseutils.h>
}

namespace kestrun::media {
namespace {

std::optional<long> ParseField(std::string_view text) {
    long value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> ParseClockDuration(std::string_view text) {
    const auto firstColon = text.find(':');
    const auto secondColon = text.find(':', firstColon + 1);
    if (firstColon == std::string_view::npos || secondColon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto seconds = text.substr(secondColon + 1);
    const auto dot = seconds.find('.');
    const auto hours = ParseField(text.substr(0, firstColon));
    const auto minutes = ParseField(text.substr(firstColon + 1, secondColon - firstColon - 1));
    const auto whole = ParseField(seconds.substr(0, dot));
    if (!hours || !minutes || !whole || *minutes >= 60 || *whole >= 60) return std::nullopt;
    if (dot != std::string_view::npos) {
        const auto digits = seconds.substr(dot + 1);
        if (digits.empty() || digits.size() > 9 || !ParseField(digits)) return std::nullopt;
    }
    // The shape is Matroska's "HH:MM:SS.nnnnnnnnn"; libavutil reads its value (to microseconds).
    int64_t microseconds = 0;
    if (av_parse_time(&microseconds, std::string(text).c_str(), 1) < 0) return std::nullopt;
    return static_cast<double>(microseconds) / 1e6;
}

std::optional<double> DeclaredTrackSeconds(const AVStream& stream) {
    const AVDictionaryEntry* tag = av_dict_get(stream.metadata, "DURATION", nullptr, 0);
    if (!tag || !tag->value) return std::nullopt;
    return ParseClockDuration(tag->value);
}

}  // namespace kestrun::media
