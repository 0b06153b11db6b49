#pragma once
// index.bdmv and MovieObject.bdmv of a single-title structure: First Play and title 1 both run
// movie object 0, whose one command plays playlist 00000; there is no top menu.
#include <cstdint>
#include <vector>

namespace standin::ts {

std::vector<uint8_t> IndexBdmv();
std::vector<uint8_t> MovieObjectBdmv();

}  // namespace standin::ts
