// Where the program writes: its own folder where that is writable, else the user's XDG folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "platform/program_folder.h"
#include "platform/tool_table.h"
#include "support/temp_folder.h"

namespace kestrun {
namespace {

TEST(ProgramFiles, ChoosesFoldersAndPaths) {
    struct Case {
        const char* what;
        bool writable;
        std::map<std::string, std::string> environment;
        std::string config, state;
    };
    const Case cases[] = {
        {"writable program folder", true, {{"XDG_STATE_HOME", "/x"}}, "/opt/k", "/opt/k"},
        {"defaults below home",
         false,
         {},
         "/home/u/.config/kestrun",
         "/home/u/.local/state/kestrun"},
        {"XDG folders",
         false,
         {{"XDG_CONFIG_HOME", "/c/"}, {"XDG_STATE_HOME", "/s"}},
         "/c/kestrun",
         "/s/kestrun"},
        {"relative XDG values are ignored",
         false,
         {{"XDG_CONFIG_HOME", "c"}, {"XDG_STATE_HOME", ""}},
         "/home/u/.config/kestrun",
         "/home/u/.local/state/kestrun"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramFiles files = ChooseProgramFiles(
            "/opt/k", c.writable,
            [&](const char* name) {
                auto it = c.environment.find(name);
                return it == c.environment.end() ? std::string() : it->second;
            },
            "/home/u");
        EXPECT_EQ(files.ConfigFolder(), c.config);
        EXPECT_EQ(files.StateFolder(), c.state);
        EXPECT_EQ(files.IsPerUser(), !c.writable);
        EXPECT_EQ(files.ProgramFolder(), "/opt/k");
    }
}

TEST(ProgramFiles, PathsOfEachKind) {
    const ProgramFiles portable = ProgramFiles::Portable("/p");
    const ProgramFiles perUser = ProgramFiles::PerUser("/p", "/c", "/s");
    struct Case {
        const ProgramFiles& files;
        std::string config, h264Ini, log, turn;
        std::vector<std::string> environment;
    };
    const Case cases[] = {
        {portable,
         "/p/Kestrun.conf",
         "/p/h264info/h264info.ini",
         "/p/debug.log",
         "/p/h264info",
         {}},
        {perUser,
         "/c/Kestrun.conf",
         "/s/h264info.ini",
         "/s/debug.log",
         "/s",
         {"KESTRUN_STATE_DIR=/s"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.files.ConfigPath(tool::kConfigFile), c.config);
        EXPECT_EQ(c.files.StatePath(tool::kH264InfoIni), c.h264Ini);
        EXPECT_EQ(c.files.StatePath(tool::kDebugLog), c.log);
        EXPECT_EQ(c.files.TurnFolder(tool::kH264Info), c.turn);
        EXPECT_EQ(c.files.ToolEnvironment(), c.environment);
    }
}

// A program folder the user cannot write sends the files to the user's folders, made on the
// way. Run as another user where the tests run as root (root writes everywhere).
TEST(ProgramFiles, ReadOnlyProgramFolderUsesTheUsersFolders) {
    test::TempFolder temp;
    const std::string program = temp.MakeFolder("program");
    const std::string home = temp.MakeFolder("home");
    chmod(program.c_str(), 0555);
    chmod(home.c_str(), 0777);
    chmod(temp.path().c_str(), 0755);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
        setenv("HOME", home.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
        const ProgramFiles files = ProgramFilesOf(program);
        if (!files.IsPerUser()) _exit(11);
        if (!std::filesystem::is_directory(home + "/.config/kestrun")) _exit(12);
        if (files.StateFolder() != home + "/state/kestrun") _exit(13);
        if (!std::filesystem::is_directory(files.StateFolder())) _exit(14);
        _exit(ProgramFilesOf(home).IsPerUser() ? 15 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(test::FolderNames(program).empty());
}

}  // namespace
}  // namespace kestrun
