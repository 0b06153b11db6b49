#include "common/output_guard.h"

#include <sys/stat.h>

#include <cstdio>

namespace standin {
namespace {

long long ModifiedNs(const struct stat& st) {
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

}  // namespace

OutputGuard::OutputGuard(std::vector<std::string> outputs) {
    for (auto& path : outputs) {
        Before b;
        b.path = std::move(path);
        struct stat st {};
        if (::lstat(b.path.c_str(), &st) == 0) {
            b.existed = true;
            b.size = static_cast<long long>(st.st_size);
            b.modifiedNs = ModifiedNs(st);
            b.inode = static_cast<unsigned long long>(st.st_ino);
        }
        before_.push_back(std::move(b));
    }
}

void OutputGuard::RemoveWrittenOutputs() const {
    for (const auto& b : before_) {
        struct stat st {};
        if (::lstat(b.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const bool unchanged = b.existed && b.size == static_cast<long long>(st.st_size) &&
                               b.modifiedNs == ModifiedNs(st) &&
                               b.inode == static_cast<unsigned long long>(st.st_ino);
        if (!unchanged) std::remove(b.path.c_str());
    }
}

}  // namespace standin
