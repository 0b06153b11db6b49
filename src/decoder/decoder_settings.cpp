#include "decoder/decoder_settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <utility>

namespace kestrun {
namespace {

constexpr std::string_view kChannelsKey = "channels";
constexpr std::string_view kGainKey = "gain_db";
constexpr std::string_view kDrcKey = "dynamic_range_compression";

constexpr std::array<std::pair<OutputChannels, std::string_view>, 4> kChannelKeys{{
    {OutputChannels::AsSource, "source"},
    {OutputChannels::Mono, "mono"},
    {OutputChannels::Stereo, "stereo"},
    {OutputChannels::Surround51, "5.1"},
}};

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::optional<double> ParseNumber(std::string_view text) {
    double value = 0.0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<bool> ParseFlag(std::string_view text) {
    if (text == "1" || text == "on" || text == "true") return true;
    if (text == "0" || text == "off" || text == "false") return false;
    return std::nullopt;
}

void ApplyLine(std::string_view line, DecoderSettings& settings) {
    line = Trim(line);
    if (line.empty() || line.front() == '#') return;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const auto key = Trim(line.substr(0, equals));
    const auto value = Trim(line.substr(equals + 1));
    if (key == kChannelsKey) {
        if (auto channels = OutputChannelsFromKey(value)) settings.channels = *channels;
    } else if (key == kGainKey) {
        if (auto gain = ParseNumber(value)) {
            settings.gainDb =
                std::clamp(*gain, DecoderSettings::kMinGainDb, DecoderSettings::kMaxGainDb);
        }
    } else if (key == kDrcKey) {
        if (auto flag = ParseFlag(value)) settings.dynamicRangeCompression = *flag;
    }
}

}  // namespace

std::string_view OutputChannelsKey(OutputChannels channels) {
    for (const auto& [value, key] : kChannelKeys) {
        if (value == channels) return key;
    }
    return kChannelKeys.front().second;
}

std::optional<OutputChannels> OutputChannelsFromKey(std::string_view key) {
    for (const auto& [value, name] : kChannelKeys) {
        if (name == key) return value;
    }
    return std::nullopt;
}

double GainFactorFromDb(double gainDb) { return std::pow(10.0, gainDb / 20.0); }

DecoderSettings DecoderSettings::Load(const std::string& path) {
    DecoderSettings settings;
    std::ifstream in(path);
    std::string line;
    // Only short lines are settings; a long one (a wrong file chosen) is read and ignored.
    while (std::getline(in, line)) {
        if (line.size() <= 200) ApplyLine(line, settings);
    }
    return settings;
}

bool DecoderSettings::Save(const std::string& path) const {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        // to_chars, not printf: the window's locale may use a decimal comma.
        char gain[32];
        const auto written =
            std::to_chars(gain, gain + sizeof gain, std::clamp(gainDb, kMinGainDb, kMaxGainDb),
                          std::chars_format::fixed, 2);
        out << kChannelsKey << '=' << OutputChannelsKey(channels) << '\n'
            << kGainKey << '=' << std::string_view(gain, written.ptr - gain) << '\n'
            << kDrcKey << '=' << (dynamicRangeCompression ? 1 : 0) << '\n';
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace kestrun
