#include "app/source_verdict.h"

#include "analysis/console_rules.h"
#include "analysis/media_probe.h"
#include "app/result_check.h"
#include "model/context.h"

namespace kestrun {

void ShowSourceVerdict(Context& ctx, const std::string& source) {
    std::string error;
    const auto facts = ReadMediaFacts(ctx, source, &error);
    if (!facts) return;
    const Console console = ChosenConsole(ctx.form);
    const Target output = ctx.form.chkAVCHD.value() == 1 ? Target::Avchd : Target::Mp4;
    ctx.Progress(OneLineVerdict(*facts, console, output));
}

}  // namespace kestrun
