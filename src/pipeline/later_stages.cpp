// Outputs that this build does not make yet. Each says so and ends the conversion without
// touching a file.
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/stages.h"

namespace kestrun {
namespace {

void NotAvailable(Context& ctx, const char* output) {
    Report(ctx, std::string(msg::kNotAvailableYet) + " (" + output + ")",
           std::string(msg::kAppTitle));
}

}  // namespace

void RepackVob(Context& ctx, Conversion&) { NotAvailable(ctx, "MPEG-2 video repack to VOB"); }
void EncodeH264(Context& ctx, Conversion&) { NotAvailable(ctx, "H.264 re-encode"); }
void RunMpeg2Chain(Context& ctx, Conversion&) { NotAvailable(ctx, "MPEG-2 re-encode"); }
void RunXvidChain(Context& ctx, Conversion&) { NotAvailable(ctx, "Xvid re-encode"); }

}  // namespace kestrun
