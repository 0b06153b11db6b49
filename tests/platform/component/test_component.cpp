// A loadable component for the registration tests.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

void Mark(const char* word) {
    const char* marker = std::getenv("KESTRUN_COMPONENT_MARKER");
    if (marker == nullptr) return;
    int fd = open(marker, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0) return;
    ssize_t written = write(fd, word, std::strlen(word));
    (void)written;
    close(fd);
}

}  // namespace

#ifndef KESTRUN_NO_ENTRY_POINTS
extern "C" int DllRegisterServer() {
    Mark("register\n");
    return 0;
}

extern "C" int DllUnregisterServer() {
    Mark("unregister\n");
    return 0;
}
#else
extern "C" int SomethingElse() {
    Mark("wrong entry\n");
    return 0;
}
#endif
