#pragma once
// Copies a raw H.264 stream with the level of every sequence parameter set replaced, reading and
// writing in fixed-size chunks whatever the file's size.
#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

struct LevelRewriteResult {
    size_t spsCount = 0;      // sequence parameter sets found
    size_t changedCount = 0;  // of those, the ones whose level differed
};

// Writes `outputPath` (through a temporary file beside it, renamed when complete; the input may
// be the output). Throws std::runtime_error with a message naming the file when the input cannot
// be read, is empty or holds no sequence parameter set, or when the output cannot be written; the
// output path is then left as it was.
LevelRewriteResult RewriteSpsLevels(const std::string& inputPath, const std::string& outputPath,
                                    uint8_t levelIdc);

}  // namespace standin
