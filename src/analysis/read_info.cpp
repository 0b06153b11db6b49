#include "analysis/read_info.h"

#include "app/model/context.h"

namespace kestrun {

// Placeholder until the track report parser lands: the analysis state stays empty.
void ReadInfo(Context& ctx, const std::string&) { ctx.analysis.strVideoCodec.clear(); }

}  // namespace kestrun
