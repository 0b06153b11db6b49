// mmcl stand-in: `mmcl --info FILE.avi` prints the MPEG-4 Part 2 properties of an AVI's video
// (quarter-pixel motion, global motion compensation, ...) read from its own headers.
#include <iostream>
#include <string>

#include "common/fail.h"
#include "video_info.h"

namespace {

constexpr const char* kTool = "mmcl";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::string(argv[1]) != "--info") {
        standin::Fail(kTool, "usage: mmcl --info FILE.avi");
        return 2;
    }
    const std::string path = argv[2];
    try {
        standin::FileSource avi(path);
        const standin::mmcl::VideoInfo info = standin::mmcl::ReadVideoInfo(avi);
        std::cout << standin::mmcl::FormatVideoInfo(info);
    } catch (const standin::AviError&) {
        standin::Fail(kTool, "Error: Source file doesn't exist or cannot be read: " + path);
        return 1;
    } catch (const standin::mmcl::VideoInfoError& e) {
        standin::Fail(kTool, std::string("Error: ") + e.what());
        return 1;
    }
    return std::cout ? 0 : 1;
}
