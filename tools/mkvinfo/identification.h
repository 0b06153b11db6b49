#pragma once
// Reads mkvmerge's JSON identification of a Matroska file into the facts of the legacy report.
#include <stdexcept>
#include <string_view>

#include "track_facts.h"

namespace standin::mkvinfo {

// A source that cannot be reported on: not Matroska, unreadable, or no track headers.
class IdentificationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The identification format versions this reader takes: the one it was written for and later.
bool IsKnownIdentificationFormat(int64_t version);

// Throws IdentificationError with a message fit for the user: also when the identification lacks
// a field the report needs (the container, the track list, a track's type, codec or number).
SegmentFacts ReadIdentification(std::string_view json);

// "16x9" -> {16, 9}; nullopt for anything else.
std::optional<std::pair<uint32_t, uint32_t>> ParseDimensions(std::string_view text);

}  // namespace standin::mkvinfo
