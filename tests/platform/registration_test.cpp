#include "platform/registration.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "support/temp_folder.h"

namespace kestrun {
namespace {

using test::ReadWholeFile;
using test::TempFolder;

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("KESTRUN_COMPONENT_MARKER", marker.c_str(), 1); }
    void TearDown() override { unsetenv("KESTRUN_COMPONENT_MARKER"); }

    bool IsLoaded(const std::string& path) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle != nullptr) dlclose(handle);
        return handle != nullptr;
    }

    TempFolder scratch;
    std::string marker = scratch / "marker";
};

TEST_F(RegistrationTest, CallsTheEntryPointOfTheRequestAndReleasesTheComponent) {
    EXPECT_EQ(Sub_RegisterServer(1234, KESTRUN_TEST_COMPONENT, true), 0);
    EXPECT_EQ(Sub_RegisterServer(1234, KESTRUN_TEST_COMPONENT, false), 0);
    EXPECT_EQ(ReadWholeFile(marker), "register\nunregister\n");
    EXPECT_FALSE(IsLoaded(KESTRUN_TEST_COMPONENT));
}

TEST_F(RegistrationTest, AnythingThatCannotRegisterReturnsZeroQuietly) {
    EXPECT_EQ(Sub_RegisterServer(0, KESTRUN_TEST_COMPONENT_BARE, true), 0);
    EXPECT_EQ(Sub_RegisterServer(0, scratch.Write("FSFWrap.dll"), true), 0);
    EXPECT_EQ(Sub_RegisterServer(0, scratch.Write("WAVDEST.AX", "not a library"), true), 0);
    EXPECT_EQ(Sub_RegisterServer(0, scratch / "missing.dll", true), 0);
    EXPECT_EQ(Sub_RegisterServer(0, "", true), 0);
    EXPECT_EQ(ReadWholeFile(marker), "");
}

TEST_F(RegistrationTest, ScriptIsWrittenAnewWithWindowsLineEnds) {
    const std::string folder = scratch.MakeFolder("Program d'été");
    const std::string script = folder + "/register.bat";
    const std::string expected = "regsvr32 \"" + folder + "/FSFWrap.dll\"\r\n" + "regsvr32 \"" +
                                 folder + "/WAVDEST.AX\"\r\n";
    scratch.Write("Program d'été/register.bat", "an older, much longer script\r\n\r\n\r\n");
    WriteRegisterScript(folder);
    EXPECT_EQ(ReadWholeFile(script), expected);
    WriteRegisterScript(folder);
    EXPECT_EQ(ReadWholeFile(script), expected) << "a second call replaces, never appends";

    WriteRegisterScript(scratch / "missing folder");  // nothing written, nothing reported
    EXPECT_FALSE(std::filesystem::exists(scratch / "missing folder"));
}

TEST_F(RegistrationTest, ReadOnlyScriptStaysAsItIs) {
    const std::string script = scratch.Write("register.bat", "kept\r\n");
    chmod(script.c_str(), 0444);
    WriteRegisterScript(scratch.path().string());
    EXPECT_EQ(ReadWholeFile(script), "kept\r\n");
}

}  // namespace
}  // namespace kestrun
