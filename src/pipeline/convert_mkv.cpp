#include "pipeline/convert_mkv.h"

#include "app/model/context.h"
#include "app/model/messages.h"

namespace kestrun {

void ConvertMkv(Context& ctx) {
    ctx.host.MsgBox(std::string(msg::kNotAvailableYet), std::string(msg::kAppTitle),
                    MsgIcon::Information, MsgButtons::Ok);
}

}  // namespace kestrun
