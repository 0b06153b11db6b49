#include "encoder_options.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <thread>

namespace standin {

OptionList ParseOptionList(const std::string& text) {
    OptionList options;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(':', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        if (!item.empty()) {
            const size_t eq = item.find('=');
            if (eq == std::string::npos)
                options.push_back({item, std::nullopt});
            else
                options.push_back({item.substr(0, eq), item.substr(eq + 1)});
        }
        start = end + 1;
    }
    return options;
}

std::string JoinOptionList(const OptionList& options) {
    std::string text;
    for (const auto& option : options) {
        if (!text.empty()) text += ':';
        text += option.name;
        if (option.value) text += "=" + *option.value;
    }
    return text;
}

const EncoderOption* FindOption(const OptionList& options, const std::string& name) {
    for (const auto& option : options)
        if (option.name == name) return &option;
    return nullptr;
}

OptionList ModernX264Options(const OptionList& legacy, std::optional<long long> kbitPerSecond) {
    OptionList modern;
    for (const auto& option : legacy) {
        if (option.name == "bime") continue;
        EncoderOption item = option;
        if (item.name == "bitrate" && kbitPerSecond) item.value = std::to_string(*kbitPerSecond);
        if (!item.value) {
            if (item.name == "b_pyramid")
                item.value = "normal";
            else if (item.name == "deblock")
                item.value = "0,0";
            else
                item.value = "1";
        }
        modern.push_back(item);
    }
    return modern;
}

namespace {

// lmin's quantiser as a number in the range a quantiser has; nothing for any other text, which
// then goes to the encoder as it stands for it to name.
std::optional<double> LagrangeQuantiser(const std::string& text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !(value >= 0 && value <= 255))
        return std::nullopt;
    return value;
}

}  // namespace

OptionList MencoderLavcOptions(const OptionList& legacy) {
    OptionList modern;
    for (const auto& option : legacy) {
        if (option.name == "threads" && option.value == "auto") {
            modern.push_back({"threads", std::to_string(ProcessorCount())});
        } else if (option.name == "lmin" && option.value && LagrangeQuantiser(*option.value)) {
            const double qp = *LagrangeQuantiser(*option.value);
            modern.push_back({"o", "lmin=" + std::to_string(static_cast<long long>(qp * 118))});
        } else if (option.name == "mv0" && !option.value) {
            modern.push_back({"o", "mpv_flags=+mv0"});
        } else {
            modern.push_back(option);
        }
    }
    return modern;
}

long long RateForTargetSize(long long sizeKiB, double seconds, long long reservedKbit,
                            long long floorKbit, long long ceilingKbit) {
    if (seconds <= 0) return ceilingKbit;
    // Past the ceiling the exact rate does not matter; held there, a long long holds it.
    const double total = std::min(
        static_cast<double>(sizeKiB) * 1024.0 * 8.0 / 1000.0 / seconds,
        static_cast<double>(ceilingKbit) + static_cast<double>(std::max(reservedKbit, 0LL)));
    const auto rate = static_cast<long long>(total) - reservedKbit;
    return std::clamp(rate, floorKbit, ceilingKbit);
}

int ProcessorCount() { return std::max(1u, std::thread::hardware_concurrency()); }

}  // namespace standin
