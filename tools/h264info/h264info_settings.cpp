#include "h264info_settings.h"

#include <strings.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/file_checks.h"

namespace standin {
namespace {

std::string WithoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line;
}

bool IsSectionLine(const std::string& line) { return !line.empty() && line.front() == '['; }

bool SameKey(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

}  // namespace

H264InfoSettings ParseH264InfoSettings(const std::string& text) {
    H264InfoSettings settings;
    std::istringstream lines(text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text);
    std::string line;
    bool inPaths = false;
    while (std::getline(lines, line)) {
        line = WithoutLineEnd(line);
        if (IsSectionLine(line)) {
            inPaths = SameKey(line, "[Paths]");
            continue;
        }
        const size_t equals = line.find('=');
        if (!inPaths || equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        if (SameKey(key, "InputPath"))
            settings.inputPath = line.substr(equals + 1);
        else if (SameKey(key, "OutputPath"))
            settings.outputPath = line.substr(equals + 1);
    }
    if (settings.inputPath.empty()) throw std::runtime_error("no InputPath in the [Paths] section");
    if (settings.outputPath.empty())
        throw std::runtime_error("no OutputPath in the [Paths] section");
    return settings;
}

H264InfoSettings ReadH264InfoSettings(const std::string& iniPath) {
    const std::string text = ReadBoundedFile(iniPath, 1 << 20, "settings file");
    try {
        return ParseH264InfoSettings(text);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(iniPath + ": " + e.what());
    }
}

}  // namespace standin
