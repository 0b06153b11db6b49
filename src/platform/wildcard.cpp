#include "platform/file_api.h"

namespace kestrun {
namespace {

// Bytes that are not valid UTF-8 keep their identity as code points of their own.
constexpr char32_t kRawByteBase = 0xDC00;

std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

std::u32string DecodeUtf8(std::string_view text) {
    std::u32string result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto lead = static_cast<unsigned char>(text[pos]);
        std::size_t length = lead < 0x80 ? 1 : SequenceLength(lead);
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = lead < 0x80 || (length > 1 && pos + length <= text.size());
        for (std::size_t i = 1; valid && i < length; ++i) {
            auto next = static_cast<unsigned char>(text[pos + i]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            result += kRawByteBase + lead;
            ++pos;
        } else {
            result += code;
            pos += length;
        }
    }
    return result;
}

// Lower case for the letters file names commonly carry: Latin, Greek and Cyrillic capitals.
char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : c + 32;
    if (c >= 0x100 && c <= 0x137) return c | 1;
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    return c;
}

std::u32string Folded(std::string_view text) {
    std::u32string result = DecodeUtf8(text);
    for (auto& c : result) c = FoldCase(c);
    return result;
}

// '*' matches any run of characters, '?' exactly one.
bool GlobMatch(std::u32string_view pattern, std::u32string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::u32string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u32string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    std::u32string foldedPattern = Folded(pattern);
    std::u32string foldedName = Folded(name);
    std::u32string_view patternView = foldedPattern;
    if (GlobMatch(patternView, foldedName)) return true;
    // "name.*" names "name" as well: the extension may be missing altogether.
    if (patternView.size() >= 2 && patternView.substr(patternView.size() - 2) == U".*") {
        return GlobMatch(patternView.substr(0, patternView.size() - 2), foldedName);
    }
    return false;
}

}  // namespace kestrun
