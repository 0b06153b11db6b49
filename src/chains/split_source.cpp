// Sources above the split limit are cut into equal pieces with mkvmerge; every piece is then
// converted on its own through Convert, and the large source goes no further.
#include "chains/split_source.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "analysis/read_info.h"
#include "chains/convert_mkv.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/result_names.h"
#include "pipeline/stages.h"
#include "pipeline/work_folder.h"
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
    ctx.finishedOutput.clear();
    if (ctx.command2Click)
        ctx.command2Click();
    else
        RunInWorkFolder(ctx, [&ctx] { ConvertMkv(ctx); });
}

// mkvmerge's name for piece `number` of `baseName`: "NAME-001".
std::string PieceBaseName(const std::string& baseName, std::int64_t number) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "-%03lld", static_cast<long long>(number));
    return baseName + digits;
}

// Before the source is cut: every piece and every piece's result must be a name the output
// folder takes, and no piece's result may be there already.
bool RefusePieceNames(Context& ctx, const Conversion& conv, std::int64_t pieces) {
    const ResultKind kind =
        ctx.analysis.strVideoCodec == "mpeg2" ? ResultKind::Mpg : ChosenResultKind(ctx.form);
    const std::string_view suffix =
        kind == ResultKind::Mp4 ? work::kRewritePartialSuffix : work::kPartialSuffix;
    for (std::int64_t number = 1; number <= pieces; ++number) {
        const std::string base = PieceBaseName(conv.baseName, number);
        if (RefuseLongName(ctx, base + ".mkv" + std::string(work::kPartialSuffix)) ||
            RefuseResultName(ctx, ResultName(kind, base), suffix, msg::kAppTitle))
            return true;
    }
    return false;
}

}  // namespace

bool SplitSourceIfLarge(Context& ctx, Conversion& conv) {
    const std::int64_t n = SplitCount(ctx, conv);
    if (n < 1) return false;
    if (RefusePieceNames(ctx, conv, n + 1)) return true;
    ConvertInPieces(ctx, conv, SizeInKb(TrimmedSource(ctx)) / (n + 1));
    return true;
}

void ConvertInPieces(Context& ctx, Conversion& conv, std::int64_t pieceKb) {
    Form1& f = ctx.form;
    f.bSplit = true;
    ctx.Progress(std::string(msg::kSplittingMkv));
    // The pieces go to a folder this run makes: whatever holds the name already is not ours to
    // convert or remove.
    const std::string folder = Work(ctx, work::kSplitFolder);
    if (::mkdir(folder.c_str(), 0700) != 0) {
        f.bSplit = false;
        Report(ctx, std::string(msg::kResultExists) + folder, std::string(msg::kAppTitle));
        return;
    }
    const std::string command = SplitCommand(ctx, conv.baseName, pieceKb, SubtitleOption(ctx));
    Run(ctx, conv, command);
    ctx.Log(command);

    std::vector<std::string> pieces;
    for (const std::string& name : ListFiles(folder + "/*.mkv"))
        if (!name.empty()) pieces.push_back(folder + "/" + name);
    f.strH264Bitrate.clear();
    // No piece at all: say so instead of converting the split folder itself.
    if (pieces.empty()) Report(ctx, std::string(msg::kSplitFailed), std::string(msg::kAppTitle));
    bool allConverted = !pieces.empty();
    for (size_t i = 0; i < pieces.size(); ++i) {
        ConvertPiece(ctx, pieces[i], i, pieces.size());
        allConverted = allConverted && !ctx.finishedOutput.empty();
    }
    // One piece without its result fails the source, whatever the last piece gave.
    if (!allConverted) ctx.finishedOutput.clear();

    f.strH264Bitrate.clear();
    f.bSubs = false;
    f.bSplit = false;
    DeleteTree(folder);
    f.lblMulti.visible = false;
}

}  // namespace kestrun
