#pragma once
// How many bytes a file's own headers say it holds, read without decoding: the size a Matroska
// segment declares, or the sizes of an AVI's RIFF chunks and of its "movi" list. A download cut
// in the middle keeps its headers and so declares more than it holds.
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/media_facts.h"

namespace kestrun {

struct DeclaredSize {
    std::uint64_t bytes = 0;  // the end of the declaring element, from the start of the file
    std::string declaredBy;   // "the segment", "the RIFF chunk", "the movi list"
};

// The largest end the headers declare; nothing for other containers, for a size left open (a
// file written live) or for headers that cannot be read.
std::optional<DeclaredSize> ReadDeclaredSize(const std::string& path, Container container);

// The part of a RIFF file's headers read here: the RIFF chunks one after the other and the lists
// of the first. `bytes` are the file's first bytes; `fileSize` its size.
std::optional<DeclaredSize> RiffDeclaredSize(const std::string& bytes, std::uint64_t fileSize);

}  // namespace kestrun
