#pragma once
// Settings of the "AC3Filter" decoder set-up, edited by the "AC3Filter Options" dialog and kept
// as a small key=value text file.
#include <optional>
#include <string>
#include <string_view>

namespace kestrun {

// Name of the settings file; the window keeps it in the program folder.
inline constexpr std::string_view kDecoderSettingsFile = "ac3filter.conf";

enum class OutputChannels { AsSource, Mono, Stereo, Surround51 };

struct DecoderSettings {
    static constexpr double kMinGainDb = -30.0;
    static constexpr double kMaxGainDb = 30.0;

    OutputChannels channels = OutputChannels::AsSource;
    double gainDb = 0.0;
    // Applies the dynamic range compression that AC-3 and E-AC-3 streams carry. Off keeps the
    // full range, which is what a later encode wants.
    bool dynamicRangeCompression = false;

    // A missing or unreadable file gives the defaults; a line that cannot be understood leaves
    // its setting at the default; the gain is clamped to [kMinGainDb, kMaxGainDb].
    static DecoderSettings Load(const std::string& path);
    // Writes the whole file anew (through a temporary file, so a failed write keeps the old
    // one). False when it could not be written.
    bool Save(const std::string& path) const;

    bool operator==(const DecoderSettings&) const = default;
};

// "source", "mono", "stereo", "5.1": the values of the "channels" key.
std::string_view OutputChannelsKey(OutputChannels channels);
std::optional<OutputChannels> OutputChannelsFromKey(std::string_view key);

// 10^(dB/20).
double GainFactorFromDb(double gainDb);

}  // namespace kestrun
