// Sources above the split limit are cut into equal pieces with mkvmerge; every piece is then
// converted on its own through Convert, and the large source goes no further.
#include <sys/stat.h>

#include <cmath>

#include "analysis/read_info.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/convert_mkv.h"
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

namespace {

// " -s N" when the pieces are to carry only the chosen subtitle track (marking bSubs), or "".
std::string SubtitleOption(Context& ctx) {
    Form1& f = ctx.form;
    if (f.chkSubs.value() != 1 || f.lblSRTFound.visible) return {};
    const int row = f.cmbSubs.selectedIndex();
    if (row < 0 || row >= kTrackTableRows) return {};
    f.bSubs = true;
    return " -s " + ctx.analysis.strSubTracks[row].track;
}

std::string SplitCommand(Context& ctx, const std::string& baseName, std::int64_t pieceKb,
                         const std::string& subtitleOption) {
    const Form1& f = ctx.form;
    return Quoted(f.strMKVmerge) + " -o " +
           Quoted(Work(ctx, std::string(work::kSplitFolder) + "/" + baseName + ".mkv")) + " -d " +
           f.txtS1.text() + " -a " + f.txtS2.text() + " " + subtitleOption + " " +
           Quoted(f.strFullname) + " --split " + std::to_string(pieceKb) + "K";
}

// Converts one piece as Convert does, with its own analysis.
void ConvertPiece(Context& ctx, const std::string& piece, size_t index, size_t count) {
    Form1& f = ctx.form;
    ctx.Progress(std::string(msg::kSplitConversion));
    ctx.host.Repaint();
    f.lblMulti.SetText(std::to_string(index + 1) + " of " + std::to_string(count));
    f.lblMulti.visible = true;
    ctx.host.Repaint();
    f.strFullname = piece;
    ReadInfo(ctx, f.strFullname);
    if (f.bSubs) {
        f.chkSubs.SetValue(1);
        f.cmbSubs.SetSelectedIndex(0);
    }
    f.txtFile.SetText(f.strFullname);
    f.strFilename = f.strFullname;
    if (ctx.command2Click)
        ctx.command2Click();
    else
        ConvertMkv(ctx);
}

}  // namespace

bool SplitSourceIfLarge(Context& ctx, Conversion& conv) {
    const std::int64_t n = SplitCount(ctx, conv);
    if (n < 1) return false;
    ConvertInPieces(ctx, conv, SizeInKb(TrimmedSource(ctx)) / (n + 1));
    return true;
}

void ConvertInPieces(Context& ctx, Conversion& conv, std::int64_t pieceKb) {
    Form1& f = ctx.form;
    f.bSplit = true;
    ctx.Progress(std::string(msg::kSplittingMkv));
    const std::string folder = Work(ctx, work::kSplitFolder);
    ::mkdir(folder.c_str(), 0755);
    const std::string command = SplitCommand(ctx, conv.baseName, pieceKb, SubtitleOption(ctx));
    Run(ctx, conv, command);
    ctx.Log(command);

    std::vector<std::string> pieces;
    for (const std::string& name : ListFiles(folder + "/*.mkv"))
        if (!name.empty()) pieces.push_back(folder + "/" + name);
    f.strH264Bitrate.clear();
    // No piece at all: say so instead of converting the split folder itself.
    if (pieces.empty()) Report(ctx, std::string(msg::kSplitFailed), std::string(msg::kAppTitle));
    for (size_t i = 0; i < pieces.size(); ++i) ConvertPiece(ctx, pieces[i], i, pieces.size());

    f.strH264Bitrate.clear();
    f.bSubs = false;
    f.bSplit = false;
    DeleteTree(folder);
    f.lblMulti.visible = false;
}

}  // namespace kestrun
