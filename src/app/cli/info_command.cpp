// kestrun-cli info SOURCE: chooses the source as the window's File button does (without the
// dialog) and prints what the analysis put into the analysis state and the window, as one JSON
// object on standard output.
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/cli/cli_host.h"
#include "app/cli/commands.h"
#include "app/handlers.h"
#include "model/context.h"
#include "model/messages.h"

namespace kestrun {
namespace {

constexpr int kExitUnusable = 2;

using Json = nlohmann::ordered_json;

// The language as a value: the track table keeps it with the blank that parts it from the
// track's name in the lists.
std::string Language(const std::string& shown) {
    const size_t first = shown.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : shown.substr(first);
}

// Rows 0 .. shown-1 of a track table as [{"language":..., "<formatKey>":..., "track":...}].
Json TrackRows(const TrackTable& table, int shown, const char* formatKey) {
    Json rows = Json::array();
    for (int row = 0; row < shown && row < kTrackTableRows; ++row) {
        rows.push_back({{"language", Language(table[row].language)},
                        {formatKey, table[row].format},
                        {"track", table[row].track}});
    }
    return rows;
}

// The flags the source gives each row's track.
void AddFlags(Json& rows, const TrackTable& table) {
    for (size_t i = 0; i < rows.size() && i < table.size(); ++i) {
        rows[i]["default"] = table[i].isDefault;
        rows[i]["forced"] = table[i].isForced;
    }
}

// The subtitle rows with their codec and flags, and for a track of pictures its kind.
Json SubtitleRows(const Analysis& a, int shown) {
    Json rows = TrackRows(a.strSubTracks, shown, "type");
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i]["codec"] = a.strSubTracks[i].codecId;
        if (const auto kind = ImageSubtitleKind(a.strSubTracks[i].format); !kind.empty())
            rows[i]["image"] = std::string(kind);
    }
    AddFlags(rows, a.strSubTracks);
    return rows;
}

// The audio rows, each format by the name of its format button, with the codec and channels
// FFmpeg's libraries found for its track.
Json AudioRows(const Analysis& a, const Form1& f, int shown) {
    Json rows = TrackRows(a.strAudioTracks, shown, "format");
    AddFlags(rows, a.strAudioTracks);
    for (Json& row : rows) {
        const std::string format = row["format"].get<std::string>();
        for (int i = 0; i < kAudioFormatCount; ++i)
            if (format == std::to_string(i)) row["format"] = f.Option1[i].text();
        const auto stream = a.audioStreams.find(std::atoi(row["track"].get<std::string>().c_str()));
        if (stream == a.audioStreams.end()) continue;
        row["codec"] = stream->second.format;
        row["channels"] = stream->second.channels;
    }
    return rows;
}

// A size the analysis could not find is shown as such, not as 0.
Json PixelSize(int size) { return size > 0 ? Json(size) : Json(std::string(msg::kUnknown)); }

std::string AnalysisJson(const Context& ctx) {
    const Form1& f = ctx.form;
    const Analysis& a = ctx.analysis;
    const Json info = {
        {"type", f.strType},
        {"videoCodec", a.strVideoCodec},
        {"vfw", a.bVfwMode},
        {"videoTrack", f.txtS1.text()},
        {"fps", f.txtSFPS.text()},
        {"pixelWidth", PixelSize(a.intPixelWidth)},
        {"pixelHeight", PixelSize(a.intPixelHeight)},
        {"parOpt", a.strParOpt},
        {"aspectOpt", a.strAspectOpt},
        {"audio", AudioRows(a, f, f.cmbAudio.ListCount())},
        {"selectedAudioFormat", f.SelectedAudioFormat()},
        {"audioTrack", f.txtS2.text()},
        {"subtitles", SubtitleRows(a, f.cmbSubs.ListCount())},
        {"srtFound", f.lblSRTFound.visible},
        {"chapterStartsMs", a.chapterStartsMs},
        {"mpeg2Recode", f.chkMP2.value() == 1},
        {"videoRecodeReason", a.strVideoRecodeReason},
        {"safeSync", f.chkFF.value() == 1},
        {"safeSyncEnabled", f.chkFF.enabled},
    };
    // Texts from the source (track names, languages) need not be UTF-8; such bytes become U+FFFD
    // so that the output stays valid JSON.
    return info.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
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

int RunInfo(Context& ctx, const std::string& source) {
    if (!IsReadableFile(source)) return Refuse("cannot read the source file: " + source);
    if (RefuseUnquotablePath(ctx, source)) return kExitUnusable;

    ChooseSource(ctx, source);
    if (ctx.form.strType.empty()) return kExitUnusable;  // refused, with the reason said
    if (ctx.form.strType == "mkv" && !ctx.analysis.bInfoReportRead)
        return Refuse("no tracks could be read from " + source +
                      " (not a Matroska file, or damaged)");
    std::cout << AnalysisJson(ctx) << std::flush;
    return std::cout ? 0 : kExitUnusable;
}

}  // namespace

SubCommand AddInfoCommand(CLI::App& program) {
    CLI::App* command =
        program.add_subcommand("info", "analyse a source and print what was found (JSON)");
    auto source = std::make_shared<std::string>();
    command->add_option("SOURCE", *source, "the MKV, AVI or WMV file")->required();
    return {command, [source](Context& ctx, CliHost&) { return RunInfo(ctx, *source); }};
}

}  // namespace kestrun
