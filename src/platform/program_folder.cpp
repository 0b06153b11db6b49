#include "platform/program_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

namespace kestrun {
namespace {

constexpr std::string_view kOwnFolderName = "/kestrun";

std::string FileNameOf(std::string_view subPath) {
    const size_t slash = subPath.rfind('/');
    return std::string(slash == std::string_view::npos ? subPath : subPath.substr(slash + 1));
}

std::string FolderPart(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

std::string HomeFolder(const EnvironmentLookup& environment) {
    if (std::string home = environment("HOME"); !home.empty()) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

// An XDG base folder: the variable's value when it is an absolute path, else home + fallback.
std::string BaseFolder(const EnvironmentLookup& environment, const char* variable,
                       const std::string& home, std::string_view fallback) {
    std::string value = environment(variable);
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    if (!value.empty() && value.front() == '/') return value;
    return home + std::string(fallback);
}

}  // namespace

std::string ProgramFolder() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    std::string exe(buffer, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
}

ProgramFiles ProgramFiles::Portable(std::string programFolder) {
    ProgramFiles files;
    files.config_ = programFolder;
    files.state_ = programFolder;
    files.program_ = std::move(programFolder);
    return files;
}

ProgramFiles ProgramFiles::PerUser(std::string programFolder, std::string configFolder,
                                   std::string stateFolder) {
    ProgramFiles files;
    files.program_ = std::move(programFolder);
    files.config_ = std::move(configFolder);
    files.state_ = std::move(stateFolder);
    files.perUser_ = true;
    return files;
}

std::string ProgramFiles::ConfigPath(std::string_view subPath) const {
    return perUser_ ? config_ + "/" + FileNameOf(subPath) : program_ + std::string(subPath);
}

std::string ProgramFiles::StatePath(std::string_view subPath) const {
    return perUser_ ? state_ + "/" + FileNameOf(subPath) : program_ + std::string(subPath);
}

std::string ProgramFiles::TurnFolder(std::string_view toolSubPath) const {
    return perUser_ ? state_ : program_ + FolderPart(toolSubPath);
}

std::vector<std::string> ProgramFiles::ToolEnvironment() const {
    if (!perUser_) return {};
    return {std::string(kStateFolderVariable) + "=" + state_};
}

ProgramFiles ChooseProgramFiles(const std::string& programFolder, bool programFolderWritable,
                                const EnvironmentLookup& environment, const std::string& home) {
    if (programFolderWritable) return ProgramFiles::Portable(programFolder);
    return ProgramFiles::PerUser(
        programFolder,
        BaseFolder(environment, "XDG_CONFIG_HOME", home, "/.config") + std::string(kOwnFolderName),
        BaseFolder(environment, "XDG_STATE_HOME", home, "/.local/state") +
            std::string(kOwnFolderName));
}

ProgramFiles ProgramFilesOfThisProgram() { return ProgramFilesOf(ProgramFolder()); }

ProgramFiles ProgramFilesOf(const std::string& folder) {
    const EnvironmentLookup environment = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    ProgramFiles files = ChooseProgramFiles(folder, access(folder.c_str(), W_OK) == 0, environment,
                                            HomeFolder(environment));
    if (files.IsPerUser()) {
        // A folder that cannot be made leaves its files unwritten: each writer fails on its own.
        std::error_code ignored;
        std::filesystem::create_directories(files.ConfigFolder(), ignored);
        std::filesystem::create_directories(files.StateFolder(), ignored);
    }
    return files;
}

}  // namespace kestrun
