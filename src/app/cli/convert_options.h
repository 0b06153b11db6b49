#pragma once
// The options of `kestrun-cli convert` and `kestrun-cli batch`: parsed from the arguments by
// CLI11, then applied to the window model in a fixed order, as a person's clicks would set them,
// so that the option rules hold exactly as they do in the window.
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kestrun {

struct Context;
class CliHost;

struct ConvertOptions {
    std::optional<std::string> out;        // --out DIR
    std::optional<int> platform;           // --platform ps3|xbox360|ps3-stereo
    std::optional<std::string> container;  // --container mp4|avchd|m2ts
    std::optional<std::string> recode;     // --recode none|mpeg2|h264|xvid
    std::optional<int> audio;              // --audio N
    std::optional<int> subs;               // --subs N
    std::optional<std::string> subsFile;   // --subs-file FILE
    bool subsBeside = false;               // --subs-beside
    bool safeSync = false;                 // --safe-sync
    bool fastMux = false;                  // --fast-mux
    bool fps25 = false;                    // --fps25
    bool dvd = false;                      // --dvd
    bool noSplit = false;                  // --no-split
    std::optional<int> priority;           // --priority low|high
    std::vector<std::string> positional;   // SOURCE or FOLDER
};

// Adds the options to a sub-command; parsing fills `options`, which must outlive the parse.
// --subs, --subs-file and --subs-beside exclude each other. With `perSource` false the options
// that choose for one source (--audio, --subs, --subs-file) are still parsed, so that the caller
// can refuse them with its reason, but left out of the help.
void AddConvertOptions(CLI::App& command, ConvertOptions& options, bool perSource);

// Applies the options to a window holding the analysed source. An empty result means every
// option took; otherwise the text names the option that could not be set and what prevents it.
std::string ApplyConvertOptions(Context& ctx, CliHost& host, const ConvertOptions& options);

// Applies only the output folder (default: the current folder), before a source is chosen. An
// empty result means it took; otherwise the text names --out and what is wrong.
std::string ApplyOutputFolder(Context& ctx, const ConvertOptions& options);

// The console and re-encode format a source starts with, as the window has them after loading its
// settings: --platform's console (the PS3 when not given), and MPEG-2, or H.264 for the Xbox 360,
// which does not play MPEG-2. Set before the source is chosen, so that the verdict on choosing
// it is for that console and a DPB check that turns on "MPEG2 Recode" finds the format;
// --recode still chooses.
void StartRecodeFormat(Context& ctx, const ConvertOptions& options);

// Makes --subs-file's path absolute and refuses a file that is not there, before any work.
std::string CheckSubtitleFile(ConvertOptions& options);

}  // namespace kestrun
