#include "media/declared_duration.h"

#include <charconv>

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
    double fraction = 0.0;
    if (dot != std::string_view::npos) {
        const auto digits = seconds.substr(dot + 1);
        if (digits.empty() || digits.size() > 9 || !ParseField(digits)) return std::nullopt;
        double scale = 0.1;
        for (const char digit : digits) {
            fraction += (digit - '0') * scale;
            scale /= 10;
        }
    }
    return *hours * 3600.0 + *minutes * 60.0 + static_cast<double>(*whole) + fraction;
}

std::optional<double> DeclaredTrackSeconds(const AVStream& stream) {
    const AVDictionaryEntry* tag = av_dict_get(stream.metadata, "DURATION", nullptr, 0);
    if (!tag || !tag->value) return std::nullopt;
    return ParseClockDuration(tag->value);
}

}  // namespace kestrun::media
