#include "app/source_verdict.h"

#include "analysis/console_rules.h"
#include "analysis/media_probe.h"
#include "model/context.h"

namespace kestrun {

void ShowSourceVerdict(Context& ctx, const std::string& source) {
    std::string error;
    const auto facts = ReadMediaFacts(ctx, source, &error);
    if (!facts) return;
    const int platform = ctx.form.cmbPlatform.selectedIndex();
    const Console console = platform == 1   ? Console::Xbox360
                            : platform == 2 ? Console::Ps3Stereo
                                            : Console::Ps3;
    const Target output = ctx.form.chkAVCHD.value() == 1 ? Target::Avchd : Target::Mp4;
    ctx.Progress(OneLineVerdict(*facts, console, output));
}

}  // namespace kestrun
