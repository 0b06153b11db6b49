// An MKV that already holds MPEG-2 video: video and audio copied unchanged into an MPEG program
// stream (VOB flavour), which both consoles play.
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/recode.h"
#include "pipeline/result_names.h"
#include "pipeline/work_folder.h"
#include "platform/work_files.h"

namespace kestrun {

void RepackVob(Context& ctx, Conversion& conv) {
    ctx.Progress(std::string(msg::kRepackingVob));
    const std::string output = WorkResult(ctx, ResultName(ResultKind::Mpg, conv.baseName));
    Run(ctx, conv,
        Quoted(conv.ffmpeg) + " -threads 4 -i " + Quoted(ctx.form.strFullname) +
            " -vcodec copy -acodec copy -f vob -copyts -y " + Quoted(output) + " -bug ms");
    if (!FinishWithOutput(ctx, output, msg::kConversionDone)) return;
    for (std::string_view name : {work::kMovieWav, work::kMovieAvi, work::kMovieWma})
        DeleteWork(ctx, name);
}

}  // namespace kestrun
