// mkvinfo stand-in: `mkvinfo SOURCE -o REPORT` writes the track report of a Matroska file in the
// layout of the 2.x tool. The facts come from Debian's mkvmerge (JSON identification); a video
// track that stores no frame duration or size is measured with libavformat.
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/partial_output_file.h"
#include "common/fail.h"
#include "common/lib_names.h"
#include "common/mkvmerge_tracks.h"
#include "common/run_program.h"
#include "identification.h"
#include "legacy_report.h"
#include "stream_probe.h"

namespace {

constexpr const char* kTool = "mkvinfo";

struct Arguments {
    std::string source;
    std::optional<std::string> report;
};

// The 2.x tool took -o, -r or --redirect-output FILE anywhere on the line, and one source.
std::optional<Arguments> ParseArguments(int argc, char** argv) {
    Arguments arguments;
    bool haveSource = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "-o" || word == "-r" || word == "--redirect-output") {
            if (i + 1 >= argc || arguments.report) return std::nullopt;
            arguments.report = argv[++i];
        } else if (!haveSource && !word.empty()) {
            arguments.source = word;
            haveSource = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveSource) return std::nullopt;
    return arguments;
}

// mkvmerge would take a name starting with '-' for an option.
std::string SafeFileArgument(const std::string& path) {
    return (!path.empty() && path[0] == '-') ? "./" + path : path;
}

// A video track that stores no frame duration or size is measured; what even that cannot find
// is reported as unknown, never guessed.
void FillFromStream(standin::mkvinfo::SegmentFacts& segment, const std::string& source) {
    size_t videoOrdinal = 0;
    for (standin::mkvinfo::TrackFacts& track : segment.tracks) {
        if (track.type != "video" || track.placeholder) continue;
        const size_t ordinal = videoOrdinal++;
        const bool needsSize = !track.pixelWidth || !track.pixelHeight;
        if (track.defaultDurationNs && !needsSize) continue;
        const standin::mkvinfo::VideoStreamFacts probed =
            standin::mkvinfo::ProbeVideoStream(source, ordinal);
        if (!track.defaultDurationNs) {
            track.defaultDurationNs = probed.frameDurationNs;
            if (!track.defaultDurationNs)
                std::cerr << kTool << ": track " << track.number
                          << " gives no frame rate; the report says unknown\n";
        }
        if (needsSize && probed.width) {
            track.pixelWidth = probed.width;
            track.pixelHeight = probed.height;
            if (!track.displayWidth || *track.displayWidth == 0) {
                track.displayWidth = probed.width;
                track.displayHeight = probed.height;
            }
        }
        if (!track.pixelWidth || !track.pixelHeight)
            std::cerr << kTool << ": track " << track.number
                      << " gives no picture size; the report says unknown\n";
    }
}

// Writes the whole report or nothing: a partial file never takes the report's name.
bool WriteReport(const std::string& path, const std::string& text) {
    try {
        standin::PartialOutputFile report(path);
        report.Open();
        report.Write(text);
        report.Commit();
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Arguments> arguments = ParseArguments(argc, argv);
    if (!arguments) {
        standin::Fail(kTool, "usage: mkvinfo SOURCE -o REPORT");
        return 2;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(arguments->source, error)) {
        standin::Fail(kTool, "cannot open the source file '" + arguments->source + "'");
        return 1;
    }
    int exitCode = 0;
    const std::string json = standin::CaptureProgram(
        {standin::kMkvmergeProgram, "-J", SafeFileArgument(arguments->source)}, &exitCode);
    if (exitCode == 127 || json.empty()) {
        standin::Fail(kTool, std::string("could not run ") + standin::kMkvmergeProgram);
        return 1;
    }
    standin::mkvinfo::SegmentFacts segment;
    try {
        segment = standin::mkvinfo::ReadIdentification(json);
    } catch (const standin::mkvinfo::IdentificationError& e) {
        standin::Fail(kTool, "'" + arguments->source + "': " + e.what());
        return 1;
    }
    FillFromStream(segment, arguments->source);
    const std::string report = standin::mkvinfo::FormatLegacyReport(segment);
    if (!arguments->report) {
        std::cout << report;
        return std::cout ? 0 : 1;
    }
    if (!WriteReport(*arguments->report, report)) {
        standin::Fail(kTool, "cannot write the report '" + *arguments->report + "'");
        return 1;
    }
    return 0;
}
