#include "app/batch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "analysis/read_info.h"
#include "app/handlers.h"
#include "app/result_check.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/result_names.h"
#include "platform/file_api.h"

namespace kestrun {
namespace {

bool EndsWithMkv(const std::string& text) {
    if (text.size() < 4) return false;
    std::string tail = text.substr(text.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail == ".MKV";
}

// A file, a folder or a link of any kind: whatever is there is never written over.
bool SomethingAt(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string Counter(size_t current, size_t total) {
    return std::to_string(current) + " of " + std::to_string(total);
}

void ShowCounter(Context& ctx, size_t current, size_t total) {
    ctx.form.lblMulti.SetText(Counter(current, total));
    ctx.form.lblMulti.visible = true;
    ctx.host.Repaint();
}

// Shows the analysed file and dispatches it as Convert would.
void ConvertBatchFile(Context& ctx) {
    Form1& f = ctx.form;
    f.txtFile.SetText(f.strFullname);
    ctx.host.Repaint();
    f.strFilename = f.strFullname;
    f.strType = "mkv";
    Command2_Click(ctx);
    f.bSplit = false;
}

// The progress line and the log tell what became of a source that was not converted.
void Tell(Context& ctx, const std::string& note) {
    ctx.Progress(note);
    ctx.Log(note);
}

// A result of the same name may be another film's. The rules already fail one whose video is not
// as long as the source's or, copied, has another frame count; where the headers do not tell the
// lengths, nothing shows that it is this source's.
std::string NotThisSourcesResult(const Verification& verification) {
    for (const RuleResult& r : verification.results)
        if (r.rule == "video duration")
            return r.status == RuleStatus::Pass ? std::string() : r.measured;
    return "no video duration";
}

// The skip test of one source: its result, when the output folder holds one, judged by the
// console rules. A result that does not pass, or is not shown to be this source's, is reported
// and left as it is.
BatchFileDone JudgeExistingResult(Context& ctx, const std::string& source,
                                  const std::string& result) {
    BatchFileDone done{source, BatchStep::KeptResult, result, {}};
    const Console console = ChosenConsole(ctx.form);
    const ResultCheck check = CheckResultAt(ctx, result, source, 0, console);
    if (!check.readable) {
        done.reason = std::string(msg::kResultExistsUnreadable) + check.error;
    } else if (!check.verification.plays) {
        done.reason =
            std::string(msg::kResultExistsButFails) + VerificationLine(check.verification, console);
    } else if (const std::string other = NotThisSourcesResult(check.verification); !other.empty()) {
        done.reason = std::string(msg::kResultExistsNotThisSources) + other;
    } else {
        done.step = BatchStep::Skipped;
        done.reason = std::string(msg::kResultExistsAndVerifies) +
                      VerificationLine(check.verification, console);
    }
    Tell(ctx, result + ": " + done.reason +
                  std::string(done.step == BatchStep::Skipped ? msg::kSourceSkipped
                                                              : msg::kResultLeftAsItIs));
    return done;
}

// The result names of the pass's sources so far, each with the source it belongs to.
using ClaimedNames = std::map<std::string, std::string>;

// One file of a batch: refused, judged by its existing result, or converted.
BatchFileDone RunBatchFile(Context& ctx, const BatchPass& pass, const std::string& name,
                           ClaimedNames& claimed) {
    const std::string source = ctx.form.strFullname;
    // Refused before anything hands the path to a tool.
    if (RefuseUnquotablePath(ctx, source))
        return {source, BatchStep::RefusedPath, {}, std::string(msg::kPathNoToolCarries)};
    // The analysis decides the chain, and so the result's name.
    ReadInfo(ctx, source);
    const std::string resultName = SourceResultName(ctx.form, ctx.analysis.strVideoCodec, name);
    if (!resultName.empty()) {
        // Two films of one folder may give one result name ("Ep.01.mkv", "Ep_01.mkv"): the
        // first's result is not the second's to skip for, so the second is refused, both named.
        const auto [earlier, isNew] = claimed.emplace(resultName, name);
        if (!isNew) {
            const std::string reason = std::string(msg::kResultNameHead) + resultName +
                                       std::string(msg::kResultNameOf) + earlier->second;
            Tell(ctx, source + ": " + reason + std::string(msg::kRenameOneOfThem));
            return {source, BatchStep::RefusedName, {}, reason};
        }
        const std::string result = JoinPath(pass.outputFolder, resultName);
        if (SomethingAt(result)) return JudgeExistingResult(ctx, source, result);
    }
    ConvertBatchFile(ctx);
    return {source, BatchStep::Dispatched, {}, {}};
}

}  // namespace

std::vector<std::string> MkvFilesIn(const std::string& folder) {
    std::vector<std::string> names = ListFiles(JoinPath(folder, "*.mkv"));
    names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
    return names;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

void RunBatch(Context& ctx, const BatchPass& pass) {
    Form1& f = ctx.form;
    // Every file would fail on it: said once, before any work.
    if (!FolderExists(pass.outputFolder)) {
        Report(ctx, std::string(msg::kBatchOutputFolderMissing) + pass.outputFolder,
               std::string(msg::kFolderErrorTitle));
        return;
    }
    const size_t total = pass.names.size();
    ClaimedNames claimed;
    for (size_t g = 0; g < total; ++g) {
        if (ctx.host.StopRequested()) break;
        // A file that the DPB check forced to "MPEG2 Recode" must not pass that on.
        if (pass.restoreRecodeChoice) f.chkMP2.SetValue(f.intListConv);
        ShowCounter(ctx, g + 1, total);
        f.strFullname = JoinPath(pass.folder, pass.names[g]);
        const BatchFileDone done = RunBatchFile(ctx, pass, pass.names[g], claimed);
        if (pass.onFileDone) pass.onFileDone(done);
    }
    f.lblMulti.visible = false;
    ctx.host.Repaint();
}

void cmdLine(Context& ctx, const std::string& commandLineText) {
    if (commandLineText.empty()) return;
    ctx.analysis.bCmdLineMode = true;
    if (EndsWithMkv(commandLineText) && FileExists(commandLineText))
        cmdlineFile(ctx, commandLineText);
    if (FolderExists(commandLineText)) cmdlineFolder(ctx, commandLineText);
    ctx.analysis.bCmdLineMode = false;
}

void cmdlineFile(Context& ctx, const std::string& path) {
    if (RefuseUnquotablePath(ctx, path)) return;
    Form1& f = ctx.form;
    ReadInfo(ctx, path);
    f.txtFile.SetText(path);
    f.strFullname = path;
    f.strType = "mkv";
    Command2_Click(ctx);
}

void cmdlineFolder(Context& ctx, const std::string& strpath) {
    ctx.analysis.bBatchMode = true;
    ctx.form.bSplit = false;
    if (strpath.empty()) return;
    const std::vector<std::string> names = MkvFilesIn(strpath);
    if (names.empty()) return;
    RunBatch(ctx, {strpath, names, ctx.form.txtTMP.text(), false, {}});
}

void cmdFolder_Click(Context& ctx) {
    Form1& f = ctx.form;
    ctx.host.SetTopmost(true);
    f.lblSRTFound.visible = false;
    f.cmbSubs.visible = false;
    ctx.analysis.bBatchMode = true;
    f.bSplit = false;

    const std::string folder = ctx.host.BrowseForFolder(std::string(msg::kSelectBatchFolder));
    if (folder.empty()) return;
    const std::vector<std::string> names = MkvFilesIn(folder);
    if (names.empty()) return;

    const MsgResult answer =
        ctx.host.MsgBox(std::string(msg::kStoreInSourceFolder), std::string(msg::kAppTitle),
                        MsgIcon::None, MsgButtons::YesNo);
    std::string outputFolder = f.txtTMP.text();
    if (answer == MsgResult::Yes) {
        f.txtTMP.SetText(JoinPath(folder, ""));
        outputFolder = folder;
    }
    f.intListConv = f.chkMP2.value();
    RunBatch(ctx, {folder, names, outputFolder, true, {}});
    f.txtTMP.SetText(outputFolder);
}

}  // namespace kestrun
