#include "common/legacy_options.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace standin {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDigits(const std::string& text, size_t from, size_t to) {
    if (from >= to) return false;
    for (size_t i = from; i < to; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

}  // namespace

std::string WindowsTrimmedPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t end = path.size();
    while (end > nameStart && (path[end - 1] == ' ' || path[end - 1] == '.')) --end;
    if (end == nameStart) return path;
    return path.substr(0, end);
}

std::string ResolveLegacyInputPath(const std::string& path) {
    if (Exists(path)) return path;
    const std::string trimmed = WindowsTrimmedPath(path);
    if (trimmed != path && Exists(trimmed)) return trimmed;
    return path;
}

std::string ModernBitrate(const std::string& value) {
    // Digits, an optional fraction, then "kb", "Kb", "mb" or "Mb".
    if (value.size() < 3 || value.back() != 'b') return value;
    const char unit = value[value.size() - 2];
    if (unit != 'k' && unit != 'K' && unit != 'm' && unit != 'M') return value;
    const std::string number = value.substr(0, value.size() - 2);
    if (!ParseDecimal(number) || number.front() == '-') return value;
    return number + static_cast<char>(std::tolower(static_cast<unsigned char>(unit)));
}

std::optional<TrackTarget> ParseTrackTarget(const std::string& spec) {
    const size_t colon = spec.find(':');
    if (colon == std::string::npos || !IsDigits(spec, 0, colon)) return std::nullopt;
    const auto number = ParseWholeNumber(spec.substr(0, colon));
    if (!number) return std::nullopt;
    return TrackTarget{*number, spec.substr(colon + 1)};
}

std::optional<std::string> ColonOptionValue(const std::string& arg, const std::string& name) {
    if (arg.size() <= name.size() || arg.compare(0, name.size(), name) != 0) return std::nullopt;
    if (arg[name.size()] != ':') return std::nullopt;
    return arg.substr(name.size() + 1);
}

std::optional<long long> ParseWholeNumber(const std::string& text) {
    const size_t digitsFrom = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (!IsDigits(text, digitsFrom, text.size())) return std::nullopt;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE) return std::nullopt;
    return value;
}

std::optional<double> ParseDecimal(const std::string& text) {
    size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    const auto countDigits = [&text](size_t from) {
        size_t n = 0;
        while (from + n < text.size() && std::isdigit(static_cast<unsigned char>(text[from + n])))
            ++n;
        return n;
    };
    const size_t intDigits = countDigits(i);
    i += intDigits;
    size_t fracDigits = 0;
    if (i < text.size() && text[i] == '.') {
        fracDigits = countDigits(i + 1);
        i += 1 + fracDigits;
    }
    if (i != text.size() || intDigits + fracDigits == 0) return std::nullopt;
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace standin
