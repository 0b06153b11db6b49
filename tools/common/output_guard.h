#pragma once
// Remembers which output files existed, and how they looked, before a tool ran, so that after a
// failed run exactly the files that run created or changed can be removed. Only regular files are
// ever removed (an output such as /dev/null is left alone).
#include <string>
#include <vector>

namespace standin {

class OutputGuard {
public:
    explicit OutputGuard(std::vector<std::string> outputs);
    // Removes every output that the run created or rewrote.
    void RemoveWrittenOutputs() const;

private:
    struct Before {
        std::string path;
        bool existed = false;
        long long size = 0;
        long long modifiedNs = 0;
        unsigned long long inode = 0;
    };
    std::vector<Before> before_;
};

}  // namespace standin
