#include "chains/source_chains.h"

#include "model/context.h"
#include "model/messages.h"

namespace kestrun {
namespace {

void NotAvailable(Context& ctx) {
    ctx.host.MsgBox(std::string(msg::kNotAvailableYet), std::string(msg::kAppTitle),
                    MsgIcon::Information, MsgButtons::Ok);
}

}  // namespace

void RecodeAviVideo(Context& ctx) { NotAvailable(ctx); }
void RecodeAviAudio(Context& ctx) { NotAvailable(ctx); }

}  // namespace kestrun
