// Sources above the split limit are cut into equal pieces with mkvmerge; every piece is then
// converted on its own through Convert, and the large source goes no further.
#include <cmath>

#include "analysis/read_info.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/stages.h"
#include "platform/file_api.h"
#include "platform/tool_runner.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

constexpr std::int64_t kSplitLimitKb = 4190000;
constexpr std::int64_t kMpeg2SplitLimitKb = 2400000;

// Size in units of 1000 bytes, a half rounded to the even neighbour.
std::int64_t SizeInKb(const std::string& path) {
    return static_cast<std::int64_t>(std::nearbyint(FileSizeForOutput(path) / 1000.0));
}

}  // namespace

// The number of pieces minus one, or 0 when the source is converted in one piece.
std::int64_t SplitCount(Context& ctx, Conversion& conv) {
    const Form1& f = ctx.form;
    if (f.Check1.value() != 1 || f.bSplit || f.chkDVD.value() != 0 || f.bChapters ||
        !FileFound(conv.mkvmerge) || f.cmdConv.selectedIndex() == 2)
        return 0;
    const std::int64_t limit = f.chkMP2.value() == 1 && f.cmdConv.selectedIndex() == 0
                                   ? kMpeg2SplitLimitKb
                                   : kSplitLimitKb;
    return SizeInKb(TrimmedSource(ctx)) / limit;
}

bool SplitSourceIfLarge(Context& ctx, Conversion& conv) {
    const std::int64_t n = SplitCount(ctx, conv);
    if (n < 1) return false;
    Report(ctx,
           std::string(msg::kNotAvailableYet) +
               " (split of sources above 4 GB; "
               "untick \"Split > 4GB ?\" to convert in one piece)",
           std::string(msg::kAppTitle));
    return true;
}

}  // namespace kestrun
