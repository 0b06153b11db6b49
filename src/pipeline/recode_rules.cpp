// Rules the re-encoding chains share: the encoder's frame rate form, the subtitle source, the
// expand and scale filters, and the bitrate read from the source.
#include <cctype>
#include <cstdio>
#include <fstream>

#include "model/context.h"
#include "pipeline/recode.h"

namespace kestrun {
namespace {

constexpr std::size_t kBitrateSearchBytes = 100000;
constexpr int kDefaultBitrate = 8000;

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string MencoderFrameRate(const std::string& sourceFps) {
    if (sourceFps == "23.976") return "31001/1293";
    const bool twoDigits = sourceFps.size() >= 2 && IsDigit(sourceFps[0]) && IsDigit(sourceFps[1]);
    // Texts the track report never writes (shorter, or without two leading digits) are given
    // to the encoder as they are.
    if (!twoDigits) return sourceFps;
    if (sourceFps.size() >= 4 && sourceFps[3] == '9')
        return std::to_string(std::stoi(sourceFps.substr(0, 2)) + 1) + "000/1001";
    return sourceFps.substr(0, 2);
}

SubtitleCase ChooseSubtitleCase(const Form1& f, bool extractable) {
    if (f.chkSubs.value() != 1) return SubtitleCase::None;
    if (f.lblSRTFound.visible) return SubtitleCase::BesideSource;
    if (!f.strSubBrowse.empty()) return SubtitleCase::Chosen;
    return extractable ? SubtitleCase::Extracted : SubtitleCase::None;
}

std::string ExpandFilter(const Context& ctx) {
    const Form1& f = ctx.form;
    const Analysis& a = ctx.analysis;
    if (f.chkAVCHD.value() != 1) return {};
    if (a.intPixelWidth == 1920 && a.intPixelHeight < 1080) return ",expand=1920:1080";
    if (a.intPixelWidth == 1280 && a.intPixelHeight < 720) return ",expand=1280:720";
    return {};
}

std::string ShortestDecimal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

std::string XvidScaleFilter(const Context& ctx) {
    const Analysis& a = ctx.analysis;
    if (!ctx.form.b360 || a.intPixelWidth <= 1280) return {};
    const double height = a.intPixelHeight / (a.intPixelWidth / 1280.0);
    return ",scale=1280:" + ShortestDecimal(height);
}

std::optional<int> ReadSourceBitrate(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string_view key = "bitrate=";
    // The key is searched in the first bytes; the five characters after it may lie beyond.
    std::string head(kBitrateSearchBytes + 5, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    const size_t at = head.find(key);
    if (at == std::string::npos || at + key.size() > kBitrateSearchBytes) return kDefaultBitrate;
    // The five characters after "=" (fewer at the end of the file), blanks trimmed.
    std::string digits = Trimmed(head.substr(at + key.size(), 5));
    if (digits.empty()) return std::nullopt;
    size_t start = digits[0] == '-' || digits[0] == '+' ? 1 : 0;
    if (start == digits.size()) return std::nullopt;
    for (size_t i = start; i < digits.size(); ++i)
        if (!IsDigit(digits[i])) return std::nullopt;
    const long value = std::stol(digits);
    if (value < -32768 || value > 32767) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace kestrun
