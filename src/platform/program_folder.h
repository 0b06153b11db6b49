#pragma once
// Where the program's files lie. The tools always lie under the program folder. The files the
// program writes (the settings file, the logs, the reports and the tools' fixed working files)
// lie there too where the program folder is writable (a build, a portable copy in a home folder);
// where it is not (an installed copy), they go to the user's own folders:
//   settings file                    $XDG_CONFIG_HOME/kestrun/  (default ~/.config/kestrun/)
//   logs, reports, working files     $XDG_STATE_HOME/kestrun/   (default ~/.local/state/kestrun/)
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun {

// The folder holding the running executable, without a trailing separator.
std::string ProgramFolder();

// Names the state folder to the stand-ins that otherwise read their settings from their own
// folder; set for every tool only while the writable files lie outside the program folder.
inline constexpr std::string_view kStateFolderVariable = "KESTRUN_STATE_DIR";

class ProgramFiles {
public:
    // Everything in the program folder (no trailing separator).
    static ProgramFiles Portable(std::string programFolder);
    // The tools in the program folder; the settings file in `configFolder`, every other
    // written file in `stateFolder` (no trailing separators).
    static ProgramFiles PerUser(std::string programFolder, std::string configFolder,
                                std::string stateFolder);

    const std::string& ProgramFolder() const { return program_; }
    const std::string& ConfigFolder() const { return config_; }
    const std::string& StateFolder() const { return state_; }
    bool IsPerUser() const { return perUser_; }

    // A sub-path of the tool table ("/Kestrun.conf") in the settings folder.
    std::string ConfigPath(std::string_view subPath) const;
    // A sub-path of the tool table ("/debug.log", "/h264info/h264info.ini"): as it is under the
    // program folder, or by its file name alone in the state folder.
    std::string StatePath(std::string_view subPath) const;
    // The folder whose flock gives one conversion at a time its turn at the shared working file
    // of the tool at `toolSubPath`: the tool's own folder, or the user's state folder.
    std::string TurnFolder(std::string_view toolSubPath) const;
    // "NAME=value" entries for every tool started.
    std::vector<std::string> ToolEnvironment() const;

private:
    std::string program_;
    std::string config_;
    std::string state_;
    bool perUser_ = false;
};

// The value of an environment variable, empty when unset.
using EnvironmentLookup = std::function<std::string(const char* name)>;

// Decides the folders: the program folder where it is writable, else the XDG folders of the
// environment (a relative or empty XDG value is ignored) below `home`.
ProgramFiles ChooseProgramFiles(const std::string& programFolder, bool programFolderWritable,
                                const EnvironmentLookup& environment, const std::string& home);

// The files of a program in `programFolder` run by the calling user, with the process's
// environment; its per-user folders made as needed.
ProgramFiles ProgramFilesOf(const std::string& programFolder);
// The same for the running program.
ProgramFiles ProgramFilesOfThisProgram();

}  // namespace kestrun
