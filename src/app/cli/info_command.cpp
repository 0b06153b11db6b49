// kestrun-cli info SOURCE: chooses the source as the window's File button does (without the
// dialog) and prints what the analysis put into the analysis state and the window, as one JSON
// object on standard output.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/cli/cli_host.h"
#include "app/cli/commands.h"
#include "app/handlers.h"
#include "model/context.h"

namespace kestrun {
namespace {

constexpr int kExitUnusable = 2;

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string JsonBool(bool value) { return value ? "true" : "false"; }

// Rows 0 .. shown-1 of a track table as [{"language":..., "<formatKey>":..., "track":...}].
std::string TrackRows(const TrackTable& table, int shown, const char* formatKey) {
    std::string out = "[";
    for (int row = 0; row < shown && row < kTrackTableRows; ++row) {
        if (row > 0) out += ", ";
        out += "{\"language\": " + JsonString(table[row].language) + ", \"" + formatKey +
               "\": " + JsonString(table[row].format) +
               ", \"track\": " + JsonString(table[row].track) + "}";
    }
    return out + "]";
}

std::string AnalysisJson(const Context& ctx) {
    const Form1& f = ctx.form;
    const Analysis& a = ctx.analysis;
    std::ostringstream out;
    out << "{\n"
        << "  \"type\": " << JsonString(f.strType) << ",\n"
        << "  \"videoCodec\": " << JsonString(a.strVideoCodec) << ",\n"
        << "  \"vfw\": " << JsonBool(a.bVfwMode) << ",\n"
        << "  \"videoTrack\": " << JsonString(f.txtS1.text()) << ",\n"
        << "  \"fps\": " << JsonString(f.txtSFPS.text()) << ",\n"
        << "  \"pixelWidth\": " << a.intPixelWidth << ",\n"
        << "  \"pixelHeight\": " << a.intPixelHeight << ",\n"
        << "  \"parOpt\": " << JsonString(a.strParOpt) << ",\n"
        << "  \"aspectOpt\": " << JsonString(a.strAspectOpt) << ",\n"
        << "  \"audio\": " << TrackRows(a.strAudioTracks, f.cmbAudio.ListCount(), "format") << ",\n"
        << "  \"selectedAudioFormat\": " << f.SelectedAudioFormat() << ",\n"
        << "  \"audioTrack\": " << JsonString(f.txtS2.text()) << ",\n"
        << "  \"subtitles\": " << TrackRows(a.strSubTracks, f.cmbSubs.ListCount(), "type") << ",\n"
        << "  \"srtFound\": " << JsonBool(f.lblSRTFound.visible) << ",\n"
        << "  \"mpeg2Recode\": " << JsonBool(f.chkMP2.value() == 1) << ",\n"
        << "  \"safeSync\": " << JsonBool(f.chkFF.value() == 1) << ",\n"
        << "  \"safeSyncEnabled\": " << JsonBool(f.chkFF.enabled) << "\n"
        << "}\n";
    return out.str();
}

bool IsReadableFile(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    return std::ifstream(path, std::ios::binary).good();
}

int Refuse(const std::string& message) {
    std::cerr << "kestrun-cli info: " << message << std::endl;
    return kExitUnusable;
}

}  // namespace

int RunInfoCommand(Context& ctx, CliHost&, const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return Refuse("usage: kestrun-cli info SOURCE");
    const std::string& source = args[0];
    if (!IsReadableFile(source)) return Refuse("cannot read the source file: " + source);
    if (RefuseUnquotablePath(ctx, source)) return kExitUnusable;

    ChooseSource(ctx, source);
    if (ctx.form.strType == "mkv" && !ctx.analysis.bInfoReportRead)
        return Refuse("no tracks could be read from " + source +
                      " (not a Matroska file, or damaged)");
    std::cout << AnalysisJson(ctx) << std::flush;
    return std::cout ? 0 : kExitUnusable;
}

}  // namespace kestrun
