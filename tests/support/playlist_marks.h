#pragma once
// The chapter marks of a Blu-ray/AVCHD playlist (.mpls), as a viewer's chapter skip finds them.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrun::test {

// The marks in seconds from the start of the first play item; throws std::out_of_range for a
// playlist too short for what it declares.
std::vector<double> PlaylistMarkSeconds(const std::vector<uint8_t>& mpls);

}  // namespace kestrun::test
