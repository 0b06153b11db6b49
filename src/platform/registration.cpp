#include "platform/registration.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_api.h"
#include "platform/tool_table.h"

namespace kestrun {
namespace {

using EntryPoint = int (*)();

bool HasContent(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 1;
}

// dlopen searches the library folders for a bare name; the component is always the file named.
std::string AsFilePath(const std::string& path) {
    return path.find('/') == std::string::npos ? "./" + path : path;
}

std::string RegisterLine(const std::string& programFolder, std::string_view component) {
    return "regsvr32 \"" + tool::PathOf(programFolder, component) + "\"\r\n";
}

}  // namespace

std::int32_t Sub_RegisterServer(std::int32_t /*lngHwnd*/, const std::string& strDllServerPath,
                                bool boolRegister) {
    if (!HasContent(strDllServerPath)) return 0;
    void* library = dlopen(AsFilePath(strDllServerPath).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return 0;
    const char* entryName = boolRegister ? "DllRegisterServer" : "DllUnregisterServer";
    if (void* symbol = dlsym(library, entryName)) reinterpret_cast<EntryPoint>(symbol)();
    dlclose(library);
    return 0;
}

void WriteRegisterScript(const std::string& programFolder) {
    WriteRegisterScript(programFolder, tool::PathOf(programFolder, tool::kRegisterBat));
}

void WriteRegisterScript(const std::string& programFolder, const std::string& path) {
    DeleteFileNoForce(path);
    if (IsReadOnlyFile(path)) return;  // a read-only script stays as it is
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const std::string text =
        RegisterLine(programFolder, tool::kFsfWrap) + RegisterLine(programFolder, tool::kWavDest);
    ssize_t written = write(fd, text.data(), text.size());
    (void)written;  // nothing is reported, as for every failure of this script
    close(fd);
}

}  // namespace kestrun
