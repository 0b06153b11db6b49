#pragma once
// h264info.ini: the settings file the tool reads from its own folder.
//   [Paths]
//   InputPath=<stream to read>
//   OutputPath=<stream to write>
// Lines end in CR LF or LF; the paths are taken as written, blanks included, without quotes.
#include <string>

namespace standin {

struct H264InfoSettings {
    std::string inputPath;
    std::string outputPath;
};

// Throws std::runtime_error naming the file when it cannot be read or lacks either path.
H264InfoSettings ReadH264InfoSettings(const std::string& iniPath);

// Parses the text of the file; same errors.
H264InfoSettings ParseH264InfoSettings(const std::string& text);

}  // namespace standin
