#include "app/config.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <vector>

#include "model/context.h"
#include "model/messages.h"
#include "platform/file_api.h"
#include "platform/registration.h"
#include "platform/tool_runner.h"
#include "platform/tool_table.h"

namespace kestrun {
namespace {

constexpr int kConfigLines = 14;
constexpr int kH264OptsLine = 8;
constexpr int kSubOptsLine = 10;
// Longer text is taken for damage: a path as long as the file system allows, and an option
// string that stays well inside what one argument of a tool's command line may hold.
constexpr size_t kMaxPathLine = 4096;
constexpr size_t kMaxOptionLine = 1024;
// The file is read up to here; fourteen lines of their longest fit many times over.
constexpr size_t kMaxConfigBytes = 1 << 20;

// One line as read: its text up to the longest any line may hold, and its whole length.
struct ConfigLine {
    std::string text;
    size_t length = 0;
};

// Lines split at CR LF, LF or CR, at most kConfigLines of them, from at most kMaxConfigBytes.
std::vector<ConfigLine> ReadLines(const std::string& path) {
    std::vector<ConfigLine> lines;
    std::ifstream in(path, std::ios::binary);
    if (!in) return lines;
    ConfigLine line;
    bool open = false;  // a line has begun and is not yet ended
    char chunk[8192];
    size_t total = 0;
    bool lastWasCr = false;
    while (lines.size() < kConfigLines && total < kMaxConfigBytes &&
           in.read(chunk, sizeof chunk).gcount() > 0) {
        const size_t got = static_cast<size_t>(in.gcount());
        total += got;
        for (size_t i = 0; i < got && lines.size() < kConfigLines; ++i) {
            const char c = chunk[i];
            if (c == '\n' && lastWasCr) {
                lastWasCr = false;
                continue;
            }
            lastWasCr = c == '\r';
            if (c == '\r' || c == '\n') {
                lines.push_back(std::move(line));
                line = {};
                open = false;
                continue;
            }
            open = true;
            if (line.text.size() <= kMaxPathLine) line.text += c;
            ++line.length;
        }
    }
    // A last line without its line end counts too (one cut at the reading limit is too long for
    // any line).
    if (open && lines.size() < kConfigLines) lines.push_back(std::move(line));
    return lines;
}

// The tolerant integer conversion of number lines: surrounding blanks are ignored; anything
// else that is not a whole number fails.
std::optional<int> ToInteger(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    size_t last = text.find_last_not_of(" \t");
    std::string_view digits(text.data() + first, last - first + 1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    int value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

bool HoldsControlCharacters(const std::string& text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) return true;
    }
    return false;
}

// What a text line may hold: nothing longer than `limit`, no control characters. Empty when
// valid, else what is wrong with it.
std::string TextProblem(const ConfigLine& line, size_t limit) {
    if (line.length > limit)
        return std::string(msg::kConfigTooLong) + std::to_string(line.length) +
               std::string(msg::kConfigTooLongLimit) + std::to_string(limit) + ")";
    if (HoldsControlCharacters(line.text)) return std::string(msg::kConfigControlCharacters);
    return {};
}

// The damage found, in line order, for the one message after reading.
class DamageReport {
public:
    void Missing(int line) {
        if (!problems_.empty() && problems_.back().missingTo == line - 1)
            problems_.back().missingTo = line;
        else
            problems_.push_back({line, line, {}});
    }
    void Invalid(int line, const std::string& problem) {
        problems_.push_back({line, 0,
                             std::string(msg::kConfigLine) + std::to_string(line) + " (" +
                                 std::string(msg::kConfigLineNames[line - 1]) + ") " + problem});
    }
    bool empty() const { return problems_.empty(); }

    // The file's path, then each problem.
    std::string Text(const std::string& path) const {
        std::string text =
            std::string(msg::kConfigDamagedHead) + path + std::string(msg::kConfigDamagedTail);
        const char* separator = "";
        for (const Problem& p : problems_) {
            text += separator;
            separator = "; ";
            if (p.missingTo == 0)
                text += p.text;
            else if (p.missingTo == p.line)
                text += std::string(msg::kConfigLine) + std::to_string(p.line) +
                        std::string(msg::kConfigMissing);
            else
                text += std::string(msg::kConfigLines) + std::to_string(p.line) +
                        std::string(msg::kConfigLinesTo) + std::to_string(p.missingTo) +
                        std::string(msg::kConfigMissing);
        }
        return text + std::string(msg::kConfigDefaultsKept);
    }

private:
    struct Problem {
        int line;
        int missingTo;     // the last of a run of missing lines; 0 for a line that is there
        std::string text;  // what is wrong with a line that is there
    };
    std::vector<Problem> problems_;
};

// Shows and logs the damage, when there is any.
void Tell(Context& ctx, const std::string& path, const DamageReport& damage) {
    if (damage.empty()) return;
    const std::string text = damage.Text(path);
    ctx.Progress(text);
    ctx.Log(text);
}

std::string ConfigPath(const Context& ctx) { return ctx.files.ConfigPath(tool::kConfigFile); }

// Reads the settings of a file that exists; each line is taken only when it is there and valid
// for its control, and every other setting keeps what it has.
class ConfigReader {
public:
    explicit ConfigReader(std::vector<ConfigLine> lines) : lines_(std::move(lines)) {}

    // The line's text when it is there and valid as text of at most `limit` characters.
    const std::string* Text(int n, size_t limit) {
        const ConfigLine* line = Line(n);
        if (!line) return nullptr;
        if (const std::string problem = TextProblem(*line, limit); !problem.empty()) {
            damage_.Invalid(n, problem);
            return nullptr;
        }
        return &line->text;
    }

    void Box(int n, CheckBox& box) {
        const ConfigLine* line = Line(n);
        if (!line) return;
        const auto value = ToInteger(line->text);
        if (line->length > kMaxPathLine || !value || (*value != 0 && *value != 1)) {
            damage_.Invalid(n, Quoted(*line) + std::string(msg::kConfigNotABoxValue));
            return;
        }
        box.SetValue(*value);
    }

    // The list's index, or no selection (-1); a line that is there but not of the file's
    // three-character form selects `otherForm` when given. The line when it was taken.
    const ConfigLine* Index(int n, ListControl& list, std::optional<int> otherForm = {}) {
        const ConfigLine* line = Line(n);
        if (!line) return nullptr;
        if (otherForm && line->length != 3) {
            list.SetSelectedIndex(*otherForm);
            return line;
        }
        const auto value = ToInteger(line->text);
        if (line->length > kMaxPathLine || !value || *value < -1 || *value >= list.ListCount()) {
            damage_.Invalid(n, Quoted(*line) + std::string(msg::kConfigNotAnIndex) +
                                   std::to_string(list.ListCount() - 1));
            return nullptr;
        }
        list.SetSelectedIndex(*value);
        return line;
    }

    const ConfigLine* Line(int n) {
        if (n > static_cast<int>(lines_.size())) {
            damage_.Missing(n);
            return nullptr;
        }
        return &lines_[n - 1];
    }

    const DamageReport& damage() const { return damage_; }

private:
    static std::string Quoted(const ConfigLine& line) {
        constexpr size_t kShown = 20;
        std::string shown = line.text.substr(0, kShown);
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
        return "\"" + shown + (line.length > kShown ? "...\"" : "\"");
    }

    std::vector<ConfigLine> lines_;
    DamageReport damage_;
};

}  // namespace

std::string LinePrinterNumber(int value) {
    return (value < 0 ? "-" : " ") + std::to_string(value < 0 ? -value : value) + " ";
}

void SaveConfig(Context& ctx) {
    const Form1& f = ctx.form;
    const std::string path = ConfigPath(ctx);
    DeleteFileNoForce(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return;
    const std::string lines[kConfigLines] = {f.strMKV,
                                             f.strFF,
                                             f.strMP4,
                                             f.txtTMP.text(),
                                             LinePrinterNumber(f.chkVob.value()),
                                             LinePrinterNumber(f.Check1.value()),
                                             f.strMKVPath,
                                             f.strH264Opts,
                                             LinePrinterNumber(f.cmdConv.selectedIndex()),
                                             f.strSubOpts,
                                             LinePrinterNumber(f.cmbPlatform.selectedIndex()),
                                             LinePrinterNumber(f.chkAVCHD.value()),
                                             LinePrinterNumber(f.chkMP2.value()),
                                             LinePrinterNumber(f.cmbPrio.selectedIndex())};
    for (const auto& line : lines) out << line << "\r\n";
}

void LoadOptionStrings(Context& ctx) {
    const std::string path = ConfigPath(ctx);
    if (!FileFound(path)) return;
    ConfigReader read(ReadLines(path));
    Form1& f = ctx.form;
    if (const std::string* text = read.Text(kH264OptsLine, kMaxOptionLine)) f.strH264Opts = *text;
    if (const std::string* text = read.Text(kSubOptsLine, kMaxOptionLine)) f.strSubOpts = *text;
    Tell(ctx, path, read.damage());
}

void LoadConfig(Context& ctx) {
    Sub_RegisterServer(0, ctx.ToolPath(tool::kFsfWrap), true);
    Sub_RegisterServer(0, ctx.ToolPath(tool::kWavDest), true);

    const std::string path = ConfigPath(ctx);
    if (!FileFound(path)) return;
    ConfigReader read(ReadLines(path));

    // In line order: each box and list runs its rule as it is set.
    Form1& f = ctx.form;
    if (const std::string* text = read.Text(1, kMaxPathLine)) f.strMKV = *text;
    if (const std::string* text = read.Text(2, kMaxPathLine)) f.strFF = *text;
    if (const std::string* text = read.Text(3, kMaxPathLine)) f.strMP4 = *text;
    // An empty line would make the root folder the work folder: keep the default.
    if (const std::string* text = read.Text(4, kMaxPathLine); text && !text->empty())
        f.txtTMP.SetText(*text);
    read.Box(5, f.chkVob);
    read.Box(6, f.Check1);
    if (const std::string* text = read.Text(7, kMaxPathLine)) f.strMKVPath = *text;
    if (const std::string* text = read.Text(kH264OptsLine, kMaxOptionLine)) f.strH264Opts = *text;
    if (const ConfigLine* line = read.Index(9, f.cmdConv, 0))
        f.strConvOpts = line->length == 3 ? line->text : "0";
    if (const std::string* text = read.Text(kSubOptsLine, kMaxOptionLine)) f.strSubOpts = *text;
    read.Index(11, f.cmbPlatform);
    read.Box(12, f.chkAVCHD);
    read.Box(13, f.chkMP2);
    read.Index(14, f.cmbPrio, 0);
    Tell(ctx, path, read.damage());
}

}  // namespace kestrun
