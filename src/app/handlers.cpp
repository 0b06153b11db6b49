#include "app/handlers.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>

#include "analysis/check_avi.h"
#include "analysis/read_info.h"
#include "app/config.h"
#include "app/result_check.h"
#include "app/source_verdict.h"
#include "chains/convert_mkv.h"
#include "chains/source_chains.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/work_folder.h"
#include "platform/file_api.h"
#include "platform/registration.h"
#include "platform/tool_runner.h"
#include "platform/tool_table.h"
#include "platform/work_folder_lock.h"

namespace kestrun {
namespace {

std::string TrimBlanksAndNuls(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string LastThreeLower(const std::string& path) {
    std::string tail = path.size() >= 3 ? path.substr(path.size() - 3) : path;
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail;
}

// The same name with its last three characters replaced by "srt".
std::string SubtitleCompanion(const std::string& path) {
    return path.size() >= 3 ? path.substr(0, path.size() - 3) + "srt" : "srt";
}

// Matroska's EBML header, with which every MKV begins.
constexpr unsigned char kEbml[] = {0x1A, 0x45, 0xDF, 0xA3};

// Up to `count` first bytes of a regular file; nothing for anything else or a file that cannot be
// opened (a pipe is never opened: that could block).
std::optional<std::string> FileHead(const std::string& path, size_t count) {
    if (!FileExists(path)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string head(count, '\0');
    in.read(head.data(), static_cast<std::streamsize>(count));
    head.resize(static_cast<size_t>(in.gcount()));
    return head;
}

bool StartsWith(const std::string& head, const unsigned char* bytes, size_t size) {
    return head.size() >= size && std::memcmp(head.data(), bytes, size) == 0;
}

// A file that the MKV chain would take but that does not begin with Matroska's EBML header is
// refused by name, before any tool reads it. A file that cannot be read is left to the steps
// that report a missing source.
bool RefuseNotMatroska(Context& ctx, const std::string& path) {
    const auto head = FileHead(path, sizeof kEbml);
    if (!head || StartsWith(*head, kEbml, sizeof kEbml)) return false;
    Report(ctx, std::string(msg::kNotMatroska) + path, std::string(msg::kSourceErrorTitle));
    return true;
}

std::string DialogFolder(const std::string& remembered) {
    if (!remembered.empty()) return remembered;
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + "/" : "/";
}

// The kind of source by the first bytes of the file: "mkv" (an EBML header), "avi" (a RIFF AVI
// form), "wmv" (an ASF header object); empty for anything else or a file that cannot be read.
std::string KindByContent(const std::string& path) {
    constexpr unsigned char kAsf[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    const auto head = FileHead(path, sizeof kAsf);
    if (!head || head->size() < sizeof kAsf) return {};
    if (StartsWith(*head, kEbml, sizeof kEbml)) return "mkv";
    if (StartsWith(*head, kAsf, sizeof kAsf)) return "wmv";
    if (head->compare(0, 4, "RIFF") == 0 && head->compare(8, 4, "AVI ") == 0) return "avi";
    return {};
}

// Every conversion, the AVI check included, works in a private folder of its own.
void Dispatch(Context& ctx) {
    Form1& f = ctx.form;
    RunInWorkFolder(ctx, [&ctx, &f] {
        if (f.strType == "wmv") {
            if (!RefuseWmvSource(ctx)) ConvertWmv(ctx);
        } else if (f.strType != "avi") {
            ConvertMkv(ctx);
        } else {
            NoteTakenAviAudio(ctx);
            if (CheckAviVideo(ctx, f.txtFile.text(), ctx.ToolPath(tool::kMmcl), ctx.WorkPath("")))
                RecodeAviAudio(ctx);
            else
                RecodeAviVideo(ctx);
        }
    });
}

// Runs `convert` holding the work folder's lock, so that a second conversion into the same
// folder cannot clear or overwrite this one's intermediate files; refused at once while another
// conversion holds it. The pieces of a split source run inside their source's lock.
void WithWorkFolderLock(Context& ctx, const std::function<void()>& convert) {
    const std::string folder = ctx.form.txtTMP.text();
    if (ctx.workFolderLocked || folder.empty() || !FolderExists(folder)) {
        convert();
        return;
    }
    WorkFolderLock lock(folder);
    if (lock.Busy()) {
        Report(ctx, std::string(msg::kWorkFolderBusy) + folder,
               std::string(msg::kFolderErrorTitle));
        return;
    }
    ctx.workFolderLocked = true;
    struct Unmark {
        Context& ctx;
        ~Unmark() { ctx.workFolderLocked = false; }
    } unmark{ctx};
    convert();
}

}  // namespace

bool RefuseUnquotablePath(Context& ctx, const std::string& path) {
    // A quote ends the quoted piece early, and so does a backslash right before the closing
    // quote the command line puts after the path; a line break splits the log and the reports.
    if (path.find_first_of("\"\r\n") == std::string::npos && (path.empty() || path.back() != '\\'))
        return false;
    Report(ctx, std::string(msg::kQuoteInPath) + path, std::string(msg::kAppTitle));
    return true;
}

namespace {

// What "File" resets before a source is chosen.
void StartSourceChoice(Context& ctx) {
    Form1& f = ctx.form;
    ctx.analysis.bBatchMode = false;
    ctx.host.SetTopmost(true);
    f.lblSRTFound.visible = false;
    f.cmbSubs.visible = false;
    f.bSplit = false;
}

}  // namespace

void DropSource(Context& ctx, const std::string& path) {
    StartSourceChoice(ctx);
    ChooseSource(ctx, path);
}

void Command1_Click(Context& ctx) {
    Form1& f = ctx.form;
    StartSourceChoice(ctx);

    OpenFileRequest request;
    request.title = std::string(msg::kSelectMkvTitle);
    request.filters = {{"mkv Files (*.mkv)", "*.MKV"},
                       {"WMV Files (*.wmv)", "*.WMV"},
                       {"AVI Files (*.avi)", "*.AVI"}};
    request.initialFolder = DialogFolder(f.strMKVPath);
    std::string chosen = ctx.host.OpenFile(request);
    if (chosen.empty()) return;
    ChooseSource(ctx, chosen);
}

void ChooseSource(Context& ctx, const std::string& path) {
    Form1& f = ctx.form;
    std::string fullname = TrimBlanksAndNuls(path);
    if (fullname.empty() || RefuseUnquotablePath(ctx, fullname)) return;
    // Names other than ".mkv" and ".avi" are taken by what the file holds: only an ASF file goes
    // down the WMV chain, and a file that no chain takes is refused before anything changes.
    std::string kind = LastThreeLower(fullname);
    if (kind != "mkv" && kind != "avi") {
        kind = KindByContent(fullname);
        if (kind.empty()) {
            Report(ctx, std::string(msg::kNotASource) + fullname,
                   std::string(msg::kSourceErrorTitle));
            return;
        }
    }
    f.strFullname = fullname;
    f.txtFile.SetText(fullname);
    f.strFilename = fullname;
    ctx.analysis.strSourceRefusal.clear();

    if (kind == "mkv") {
        f.strType = RefuseNotMatroska(ctx, fullname) ? "" : "mkv";
        if (f.strType.empty()) return;
        ReadInfo(ctx, fullname);
        if (FileFound(SubtitleCompanion(fullname))) {
            f.lblSRTFound.visible = true;
            f.chkSubs.visible = true;
            f.cmbSubs.visible = false;
        }
    } else if (kind == "avi") {
        f.strType = "avi";
        f.chkMP2.SetValue(1);
        f.cmdConv.SetSelectedIndex(2);
        if (FileFound(SubtitleCompanion(fullname))) {
            f.lblSRTFound.visible = true;
            f.chkSubs.visible = true;
        }
    } else {
        f.strType = "wmv";
        f.chkMP2.SetValue(0);  // the WMV chain re-encodes nothing
        f.chkAVCHD.SetValue(1);
        f.chk25.enabled = false;
        f.chkFF.enabled = false;
        f.chkVob.enabled = false;
    }
    ShowSourceVerdict(ctx, fullname);
    ctx.host.Repaint();
}

void Command2_Click(Context& ctx) {
    Form1& f = ctx.form;
    const std::string folder = f.txtTMP.text();
    // Checked without the separator, which would hide a trailing backslash.
    const bool hasSeparator = !folder.empty() && folder.back() == '/';
    const std::string typed = hasSeparator ? folder.substr(0, folder.size() - 1) : folder;
    if (RefuseUnquotablePath(ctx, typed) || RefuseUnquotablePath(ctx, f.txtFile.text())) return;
    // An empty folder text stays empty, for the conversion to report, rather than becoming "/".
    if (!folder.empty() && !hasSeparator) f.txtTMP.SetText(folder + "/");
    // No console chosen converts for the Xbox 360; the verdicts follow the same choice.
    f.b360 = ChosenConsole(f) == Console::Xbox360;
    if (ctx.convertDepth == 0 && NoTargetChosen(f)) {
        ctx.Progress(std::string(msg::kNoTargetChosen));
        ctx.Log(std::string(msg::kNoTargetChosen));
    }
    WithWorkFolderLock(ctx, [&ctx] {
        if (ctx.saveSettings) SaveConfig(ctx);
        // Whatever goes down the MKV chain must be Matroska, also in batches and from the
        // command line, which analyse their files without choosing them.
        const Form1& form = ctx.form;
        if (ctx.convertDepth == 0 && form.strType != "avi" && form.strType != "wmv" &&
            RefuseNotMatroska(ctx, form.txtFile.text()))
            return;
        // Each piece of a split source is verified as it is made; the source's own verification
        // then keeps their verdict instead of judging the last piece again.
        if (ctx.convertDepth == 0) {
            ctx.finishedOutputPlays.reset();
            ctx.verifiedOutput.clear();
        }
        ++ctx.convertDepth;
        struct Leave {
            Context& ctx;
            ~Leave() { --ctx.convertDepth; }
        } leave{ctx};
        Dispatch(ctx);
        VerifyFinishedOutput(ctx);
    });
}

void cmdSubs_Click(Context& ctx) {
    Form1& f = ctx.form;
    ctx.host.SetTopmost(true);
    OpenFileRequest request;
    request.title = std::string(msg::kSelectSubtitleTitle);
    request.filters = {{"Subtitle Files", "*.srt; *.ssa; *.ass"}};
    request.initialFolder = DialogFolder(f.strMKVPath);
    std::string chosen = ctx.host.OpenFile(request);
    if (chosen.empty() || RefuseUnquotablePath(ctx, TrimBlanksAndNuls(chosen))) return;
    f.chkMP2.enabled = true;
    f.chkSubs.enabled = true;
    f.chkSubs.visible = true;
    f.cmbSubs.visible = false;
    f.lblSRTFound.visible = false;
    f.chkSubs.SetValue(1);
    f.strSubBrowse = TrimBlanksAndNuls(chosen);
    ctx.host.Repaint();
}

void cmdTargetFolder_Click(Context& ctx) {
    ctx.host.SetTopmost(false);
    std::string folder = ctx.host.BrowseForFolder(std::string(msg::kSelectOutputFolder));
    if (folder.empty()) return;
    if (folder.back() != '/') folder += '/';
    ctx.form.txtTMP.SetText(folder);
}

void Command3_Click(Context& ctx) { ctx.host.ShowAc3FilterOptions(); }

void Form_DblClick(Context& ctx) {
    WriteRegisterScript(ctx.programFolder, ctx.files.StatePath(tool::kRegisterBat));
}

}  // namespace kestrun
