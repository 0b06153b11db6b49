#pragma once
// The MKV chain's split loop: a source above the split limit is cut into pieces, each converted
// as a source of its own.
#include <cstdint>

namespace kestrun {
struct Context;
struct Conversion;

// Pieces beyond the first that the source would be cut into; 0 when it is converted whole.
std::int64_t SplitCount(Context& ctx, Conversion& conv);
// Converts a source above the split limit piece by piece; false when it is converted whole.
bool SplitSourceIfLarge(Context& ctx, Conversion& conv);
// Cuts the source into pieces of pieceKb (units of 1000 bytes) with mkvmerge in the work
// folder's "split" folder, converts each piece as Convert does, and removes the folder again.
void ConvertInPieces(Context& ctx, Conversion& conv, std::int64_t pieceKb);

}  // namespace kestrun
