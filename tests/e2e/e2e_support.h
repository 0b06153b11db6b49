#pragma once
// Helpers of the end-to-end suite: the small MKVs it converts, ffprobe's view of a file, and a
// private copy of the program folder per test (running programs and making samples:
// support/process.h, support/samples.h).
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/samples.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {

using test::Ffmpeg;
using test::FolderNames;
using test::ProgramRun;
using test::ReadWholeFile;
using test::RunProgram;

// One audio format of the generated sources.
struct AudioKind {
    std::string name;                  // test name part, e.g. "Ac3_51"
    std::vector<std::string> encoder;  // FFmpeg's output options for the audio
    int channels = 2;
};
inline void PrintTo(const AudioKind& audio, std::ostream* os) { *os << audio.name; }

// Input options of FFmpeg for a tone of `channels` channels (a distinct pitch in each) at 48 kHz.
std::vector<std::string> ToneInput(int channels, double seconds);
// Input options for a 23.976 fps test picture of the given size.
std::vector<std::string> PictureInput(const std::string& size);
// Output options for H.264 High at level 5.1 with two B-frames.
std::vector<std::string> H264Options();

// An MKV with that H.264, 320x240, 23.976 fps, `seconds` long, and one audio track of `channels`
// channels encoded by `audioOptions`. Extra options go before the output name. Made once per
// recipe (support/samples.h) and copied to `path`.
void MakeMkv(const std::string& path, const std::vector<std::string>& audioOptions, int channels,
             const std::vector<std::string>& extraOptions = {}, double seconds = 2);

struct StreamFacts {
    std::string type;  // "video", "audio", ...
    std::string codec;
    std::string profile;
    int level = 0;
    int channels = 0;
    std::string avgFrameRate;
    std::string displayAspect;
    std::optional<long> framesDecoded;  // ffprobe's nb_read_frames
    std::optional<double> duration;
};

struct MediaFacts {
    double duration = 0;
    std::vector<StreamFacts> streams;
    std::vector<StreamFacts> OfType(const std::string& type) const;
};

// ffprobe -count_frames -show_streams -show_format; throws when ffprobe fails.
MediaFacts Probe(const std::string& path);

// A digest of the whole content with the size and modification time: changes when the file does.
std::string Fingerprint(const std::string& path);

// A private program folder: the built CLI hard-linked (or copied) so that it takes this folder
// as its own, every tool folder linked to the built one. The settings, the log and the mkvinfo
// report then stay per test, so tests may run side by side.
class ProgramFolderCopy {
public:
    explicit ProgramFolderCopy(const std::filesystem::path& where);
    const std::filesystem::path& path() const { return path_; }
    std::string Cli() const { return (path_ / "kestrun-cli").string(); }

    // Removes one tool, e.g. "MP4Box/MP4Box"; its sub-folder's other files stay.
    void RemoveTool(const std::string& subPath);
    // Puts `program` in the place of one tool.
    void ReplaceTool(const std::string& subPath, const std::string& program);

private:
    void OwnSubFolder(const std::string& subPath);
    std::filesystem::path path_;
};

}  // namespace kestrun::e2e
