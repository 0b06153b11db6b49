#pragma once
// The MP4Box command lines the conversion chains give:
//   MP4Box [-fps RATE] -add FILE[:fps=RATE][:par=W:H][:delay=MS] [-add ...] [-new] DESTINATION
//          [-tmp DIR]
//   MP4Box -aviraw video FILE.avi
// Options may stand in any order; the one argument that is no option's value is the destination
// (or, with -aviraw, the AVI file).
#include <optional>
#include <string>
#include <vector>

#include "common/sps_aspect_filter.h"

namespace standin {

struct AddedFile {
    std::string path;
    std::optional<std::string> fps;
    std::optional<PixelAspect> par;
    std::optional<long long> delayMs;  // ":delay=", may be negative
};

struct Mp4BoxCommand {
    std::vector<AddedFile> added;
    std::optional<std::string> fps;  // -fps, for every added raw video stream
    std::optional<std::string> tmpDir;
    bool forceNew = false;
    std::optional<std::string> aviRawType;  // "video"
    std::string target;                     // destination MP4, or the AVI with -aviraw
};

// Throws std::invalid_argument with a message for anything else.
Mp4BoxCommand ParseMp4BoxCommand(const std::vector<std::string>& args);

// "movie.h264:fps=23.976:par=1920:1440" or "movie.aac:delay=500" -> path and options. A text naming
// an existing file is taken whole, so a file name that holds a colon still works.
AddedFile ParseAddedFile(const std::string& text);

}  // namespace standin
