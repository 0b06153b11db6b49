#include "app/source_verdict.h"

#include "analysis/console_rules.h"
#include "analysis/media_probe.h"
#include "app/result_check.h"
#include "model/context.h"
#include "model/messages.h"

namespace kestrun {

std::string IncompleteSourceNote(const MediaFacts& facts) {
    if (!CutShort(facts)) return {};
    const int percent = static_cast<int>(100.0 * facts.fileSize / *facts.declaredSize);
    return std::string(msg::kSourceIncomplete) + facts.declaredBy + " declares " +
           std::to_string(*facts.declaredSize) + " bytes, the file has " +
           std::to_string(facts.fileSize) + " (" + std::to_string(percent) + "%)" +
           std::string(msg::kSourceIncompleteTail);
}

void ShowSourceVerdict(Context& ctx, const std::string& source) {
    std::string error;
    const auto facts = ReadMediaFacts(ctx, source, &error);
    if (!facts) return;
    const Console console = ChosenConsole(ctx.form);
    const Target output = ctx.form.chkAVCHD.value() == 1 ? Target::Avchd : Target::Mp4;
    ctx.Progress(OneLineVerdict(*facts, console, output));
    if (const std::string note = IncompleteSourceNote(*facts); !note.empty()) {
        ctx.Progress(note);
        ctx.Log(note);
    }
}

}  // namespace kestrun
