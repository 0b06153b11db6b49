#include "mp4box_command_line.h"

#include <sys/stat.h>

#include <cctype>
#include <stdexcept>

namespace standin {
namespace {

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool IsDecimal(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

PixelAspect ParsePixelAspect(const std::string& width, const std::string& height) {
    if (!IsDecimal(width) || !IsDecimal(height) || std::stoi(width) <= 0 ||
        std::stoi(height) <= 0 || std::stoi(width) > 65535 || std::stoi(height) > 65535)
        throw std::invalid_argument("bad pixel aspect \"par=" + width + ":" + height + "\"");
    return PixelAspect{std::stoi(width), std::stoi(height), false};
}

// Milliseconds, with a sign for a track that starts before the others.
long long ParseDelay(const std::string& text) {
    const bool negative = text.starts_with("-");
    const std::string digits = negative ? text.substr(1) : text;
    if (!IsDecimal(digits)) throw std::invalid_argument("bad delay \"delay=" + text + "\"");
    return negative ? -std::stoll(digits) : std::stoll(digits);
}

// Splits "fps=25:par=4:3" at the colons that separate options.
void ParseFileOptions(const std::string& options, AddedFile& file) {
    std::vector<std::string> parts;
    for (size_t begin = 0;;) {
        const size_t colon = options.find(':', begin);
        parts.push_back(options.substr(begin, colon - begin));
        if (colon == std::string::npos) break;
        begin = colon + 1;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.starts_with("fps=")) {
            file.fps = part.substr(4);
        } else if (part.starts_with("delay=")) {
            file.delayMs = ParseDelay(part.substr(6));
        } else if (part == "par=none") {
            file.par = PixelAspect{0, 0, true};
        } else if (part.starts_with("par=") && i + 1 < parts.size()) {
            file.par = ParsePixelAspect(part.substr(4), parts[i + 1]);
            ++i;
        } else {
            throw std::invalid_argument("unknown option \"" + part + "\" after " + file.path);
        }
    }
}

std::string ValueOf(const std::vector<std::string>& args, size_t& i) {
    if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
    return args[++i];
}

}  // namespace

AddedFile ParseAddedFile(const std::string& text) {
    AddedFile file;
    if (FileExists(text)) {
        file.path = text;
        return file;
    }
    // Options follow the file name: look for the first option key after the last '/'.
    const size_t nameStart = text.rfind('/') == std::string::npos ? 0 : text.rfind('/') + 1;
    size_t optionStart = std::string::npos;
    for (const char* key : {":fps=", ":par=", ":delay="})
        optionStart = std::min(optionStart, text.find(key, nameStart));
    if (optionStart == std::string::npos) {
        // No option this tool knows: name an unknown one rather than a missing file.
        for (size_t colon = text.find(':', nameStart); colon != std::string::npos;
             colon = text.find(':', colon + 1)) {
            if (FileExists(text.substr(0, colon))) {
                optionStart = colon;
                break;
            }
        }
    }
    file.path = text.substr(0, optionStart);
    if (optionStart != std::string::npos) ParseFileOptions(text.substr(optionStart + 1), file);
    if (file.path.empty()) throw std::invalid_argument("-add needs a file name");
    return file;
}

Mp4BoxCommand ParseMp4BoxCommand(const std::vector<std::string>& args) {
    Mp4BoxCommand command;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-add")
            command.added.push_back(ParseAddedFile(ValueOf(args, i)));
        else if (arg == "-fps")
            command.fps = ValueOf(args, i);
        else if (arg == "-tmp")
            command.tmpDir = ValueOf(args, i);
        else if (arg == "-new")
            command.forceNew = true;
        else if (arg == "-aviraw")
            command.aviRawType = ValueOf(args, i);
        else if (arg.size() > 1 && arg[0] == '-')
            throw std::invalid_argument("unknown option " + arg);
        else
            positional.push_back(arg);
    }
    if (positional.size() != 1)
        throw std::invalid_argument(positional.empty() ? "no destination file given"
                                                       : "more than one destination given");
    command.target = positional.front();
    if (command.aviRawType) {
        if (*command.aviRawType != "video")
            throw std::invalid_argument("-aviraw supports \"video\" only, not \"" +
                                        *command.aviRawType + "\"");
        if (!command.added.empty())
            throw std::invalid_argument("-aviraw cannot be combined with -add");
    } else if (command.added.empty()) {
        throw std::invalid_argument("nothing to do: no -add and no -aviraw");
    }
    return command;
}

}  // namespace standin
