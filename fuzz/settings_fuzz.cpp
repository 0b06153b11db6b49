// The settings files: Kestrun.conf (read at start-up and by runs that take only its option
// strings), the decoder settings, and h264info.ini.
#include <stdexcept>

#include "app/config.h"
#include "decoder/decoder_settings.h"
#include "fuzz_support.h"
#include "h264info/h264info_settings.h"
#include "model/context.h"
#include "platform/tool_table.h"
#include "quiet_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = kestrun::fuzz::ScratchFolder();
    kestrun::fuzz::QuietHost host;
    kestrun::Context ctx(host, folder);
    kestrun::fuzz::WriteFile(kestrun::tool::PathOf(folder, kestrun::tool::kConfigFile), data, size);
    kestrun::LoadConfig(ctx);
    kestrun::LoadOptionStrings(ctx);

    kestrun::DecoderSettings::Load(kestrun::fuzz::WriteInput("ac3filter.conf", data, size));

    try {
        standin::ParseH264InfoSettings(kestrun::fuzz::Text(data, size));
    } catch (const std::runtime_error&) {
    }
    return 0;
}
