#pragma once
// Old option spellings and path habits of the tools the conversion chains were written for, and
// how today's programs read them.
#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace standin {

// A path as the old tools' platform opened it: blanks and dots at the end of the last component
// are dropped ("movie.mp3 " opens "movie.mp3"). A last component made only of blanks and dots
// ("." or "..") is left as it is.
std::string WindowsTrimmedPath(const std::string& path);

// The file a legacy tool would have opened for reading: the path itself when it exists, else its
// trimmed form (see WindowsTrimmedPath) when that exists, else the path unchanged.
std::string ResolveLegacyInputPath(const std::string& path);

// A bitrate in FFmpeg 5.1 spelling: "224kb" gives "224k" (1 kbit = 1000 bit, as in 2008; today's
// FFmpeg rejects the final 'b'). Texts without the old suffix come back unchanged.
std::string ModernBitrate(const std::string& value);

// "2:/work/movie.ac3" gives track 2 and the path; nullopt unless the text starts with a decimal
// number followed by ':'.
struct TrackTarget {
    long long number = 0;
    std::string path;
};
std::optional<TrackTarget> ParseTrackTarget(const std::string& spec);

// The value of a colon option: ("-spk:2", "-spk") gives "2"; nullopt when `arg` is another option.
std::optional<std::string> ColonOptionValue(const std::string& arg, const std::string& name);

// A whole decimal number with an optional sign and nothing else, or nullopt.
std::optional<long long> ParseWholeNumber(const std::string& text);

// A decimal number such as "8", "-1.5" or "0.25", or nullopt.
std::optional<double> ParseDecimal(const std::string& text);

// True when `text` is one of `names` (a table of option or mode names).
template <size_t N>
bool IsOneOf(const std::string_view (&names)[N], std::string_view text) {
    return std::find(std::begin(names), std::end(names), text) != std::end(names);
}

}  // namespace standin
