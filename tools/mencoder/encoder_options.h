#pragma once
// Colon-separated encoder option lists ("bitrate=1500:threads=auto:deblock") and the rewrites
// today's encoders need.
#include <optional>
#include <string>
#include <vector>

namespace standin {

struct EncoderOption {
    std::string name;
    std::optional<std::string> value;  // none for a bare name
};
using OptionList = std::vector<EncoderOption>;

OptionList ParseOptionList(const std::string& text);
std::string JoinOptionList(const OptionList& options);
const EncoderOption* FindOption(const OptionList& options, const std::string& name);

// The x264 option list as today's libx264 takes it: "bime" is gone (always on at subq 5 and up),
// a bare "b_pyramid" is the enum "normal", a bare "deblock" means on with strength 0,0 and other
// bare names mean 1. The bitrate becomes `kbitPerSecond` when given.
OptionList ModernX264Options(const OptionList& legacy, std::optional<long long> kbitPerSecond);

// The lavc option list as Debian's MEncoder takes it: "threads=auto" becomes the processor
// count, "lmin=N" becomes "o=lmin=N*118" and "mv0" becomes "o=mpv_flags=+mv0".
OptionList MencoderLavcOptions(const OptionList& legacy);

// A negative bitrate read as a target size in KiB: the kbit/s that fill it in `seconds`, less
// `reservedKbit` for the audio, held between `floorKbit` and `ceilingKbit`.
long long RateForTargetSize(long long sizeKiB, double seconds, long long reservedKbit,
                            long long floorKbit, long long ceilingKbit);

// Number of processors, at least 1.
int ProcessorCount();

}  // namespace standin
