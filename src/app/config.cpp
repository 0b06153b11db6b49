#include "app/config.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "model/context.h"
#include "platform/file_api.h"
#include "platform/registration.h"
#include "platform/tool_runner.h"
#include "platform/tool_table.h"

namespace kestrun {
namespace {

constexpr int kConfigLines = 14;
constexpr size_t kH264OptsLine = 8;
constexpr size_t kSubOptsLine = 10;

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

// Lines split at CR LF, LF or CR.
std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

void SetCheck(CheckBox& box, const std::string& text) {
    if (auto v = ToInteger(text)) box.SetValue(*v);
}

void SelectIndex(ListControl& list, const std::string& text) {
    if (auto v = ToInteger(text)) list.SetSelectedIndex(*v);
}

std::string ConfigPath(const Context& ctx) { return ctx.ToolPath(tool::kConfigFile); }

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
    const std::vector<std::string> lines = ReadLines(path);
    if (lines.size() >= kH264OptsLine) ctx.form.strH264Opts = lines[kH264OptsLine - 1];
    if (lines.size() >= kSubOptsLine) ctx.form.strSubOpts = lines[kSubOptsLine - 1];
}

void LoadConfig(Context& ctx) {
    Sub_RegisterServer(0, ctx.ToolPath(tool::kFsfWrap), true);
    Sub_RegisterServer(0, ctx.ToolPath(tool::kWavDest), true);

    const std::string path = ConfigPath(ctx);
    if (!FileFound(path)) return;
    const std::vector<std::string> lines = ReadLines(path);

    Form1& f = ctx.form;
    // A read past the end of a short file keeps the last text read; the later settings are
    // taken from that stale text.
    std::string buffer;
    for (int n = 1; n <= kConfigLines; ++n) {
        if (n <= static_cast<int>(lines.size())) buffer = lines[n - 1];
        switch (n) {
            case 1:
                f.strMKV = buffer;
                break;
            case 2:
                f.strFF = buffer;
                break;
            case 3:
                f.strMP4 = buffer;
                break;
            case 4:
                // An empty line would make the root folder the work folder: keep the default.
                if (!buffer.empty()) f.txtTMP.SetText(buffer);
                break;
            case 5:
                SetCheck(f.chkVob, buffer);
                break;
            case 6:
                SetCheck(f.Check1, buffer);
                break;
            case 7:
                f.strMKVPath = buffer;
                break;
            case 8:
                f.strH264Opts = buffer;
                break;
            case 9:
                f.strConvOpts = buffer.size() == 3 ? buffer : "0";
                SelectIndex(f.cmdConv, f.strConvOpts);
                break;
            case 10:
                f.strSubOpts = buffer;
                break;
            case 11:
                SelectIndex(f.cmbPlatform, buffer);
                break;
            case 12:
                SetCheck(f.chkAVCHD, buffer);
                break;
            case 13:
                SetCheck(f.chkMP2, buffer);
                break;
            case 14:
                if (buffer.size() == 3)
                    SelectIndex(f.cmbPrio, buffer);
                else
                    f.cmbPrio.SetSelectedIndex(0);
                break;
        }
    }
}

}  // namespace kestrun
