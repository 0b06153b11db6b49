#pragma once
// Gives a raw H.264 stream a new name with the level of every sequence parameter set replaced,
// reading in fixed-size chunks whatever the file's size. Where the input can simply take the
// output's name (one file system, no file under that name yet, no other link to the input), it is
// renamed and only the changed level bytes are written; otherwise the stream is copied.
#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

struct LevelRewriteResult {
    size_t spsCount = 0;      // sequence parameter sets found
    size_t changedCount = 0;  // of those, the ones whose level differed
};

// Leaves the stream at `outputPath` (the input may be the output). Renamed, the input is gone on
// success; copied (through a temporary file beside the output, renamed when complete, replacing a
// file of that name), it stays. Throws std::runtime_error with a message naming the file when the
// input cannot be read, is empty or holds no sequence parameter set, or when the output cannot be
// written; both paths are then left as they were.
LevelRewriteResult RewriteSpsLevels(const std::string& inputPath, const std::string& outputPath,
                                    uint8_t levelIdc);

}  // namespace standin
