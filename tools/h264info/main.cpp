// h264info: reads h264info.ini from its own folder (or from the folder KESTRUN_STATE_DIR names,
// which Kestrun sets where its program folder is not writable) and writes the stream named by
// InputPath to OutputPath with the level of every sequence parameter set set to 4.1, for the
// consoles. It takes no arguments.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "common/fail.h"
#include "common/lib_names.h"
#include "h264info_settings.h"
#include "level_rewrite.h"
#include "media/h264_sps.h"

namespace {

constexpr const char* kTool = "h264info";

std::filesystem::path SettingsFolder() {
    if (const char* state = std::getenv("KESTRUN_STATE_DIR"); state && *state) return state;
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

}  // namespace

int main(int argc, char**) {
    if (argc > 1) {
        standin::Fail(kTool, "takes no arguments; it reads h264info.ini from its own folder");
        return 2;
    }
    try {
        const auto settings = standin::ReadH264InfoSettings(SettingsFolder() / "h264info.ini");
        const auto result = standin::RewriteSpsLevels(settings.inputPath, settings.outputPath,
                                                      standin::h264::kConsoleLevelIdc);
        std::cout << kTool << ": " << result.spsCount << " sequence parameter set(s), "
                  << result.changedCount << " changed to level 4.1: " << settings.outputPath
                  << std::endl;
        return 0;
    } catch (const std::exception& e) {
        standin::Fail(kTool, e.what());
        return 1;
    }
}
