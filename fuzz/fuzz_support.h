#pragma once
// What the harnesses share: the input as text, as a file in memory-backed storage for readers that
// take a path, and as a command line.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kestrun::fuzz {

inline std::string Text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// KESTRUN_FUZZ_SCRATCH (scripts/fuzz.sh makes and removes it), else a folder of this process
// under /dev/shm, made once.
inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        if (const char* given = std::getenv("KESTRUN_FUZZ_SCRATCH")) return std::string(given);
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string path = std::string(base) + "/kestrun-fuzz-" + std::to_string(getpid());
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) std::abort();
        return path;
    }();
    return folder;
}

// Writes the input to `path` and gives the path.
inline std::string WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return path;
}

// Writes the input to `name` in the scratch folder and gives its path.
inline std::string WriteInput(const std::string& name, const uint8_t* data, size_t size) {
    return WriteFile(ScratchFolder() + "/" + name, data, size);
}

// The input as arguments: one per line (a NUL ends a line too).
inline std::vector<std::string> Arguments(const uint8_t* data, size_t size) {
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n' || data[i] == '\0')
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    return args;
}

}  // namespace kestrun::fuzz
