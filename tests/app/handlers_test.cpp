// The buttons: choosing a source by its extension, Convert's preparations, the subtitle and
// output-folder choosers.
#include "app/handlers.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "app/result_check.h"
#include "app_fixture.h"
#include "platform/tool_runner.h"
#include "support/samples.h"

namespace kestrun::test {
namespace {

// The first 16 bytes of every ASF file (its header object's GUID).
constexpr char kAsfHead[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";

class Handlers : public AppTest {
protected:
    TempFolder media{"kestrun-media"};
    // A stand-in MKV: Matroska's EBML header and nothing after it.
    std::string Mkv(const std::string& name) { return media.Write(name, "\x1A\x45\xDF\xA3"); }
};

TEST_F(Handlers, CancellingTheOpenDialogOnlyResets) {
    form.lblSRTFound.visible = true;
    form.bSplit = true;
    ctx.analysis.bBatchMode = true;
    form.txtFile.SetText("/old.mkv");
    Command1_Click(ctx);
    EXPECT_FALSE(form.lblSRTFound.visible);
    EXPECT_FALSE(form.bSplit);
    EXPECT_FALSE(ctx.analysis.bBatchMode);
    EXPECT_EQ(form.txtFile.text(), "/old.mkv");
    ASSERT_EQ(host.fileRequests.size(), 1u);
    EXPECT_EQ(host.fileRequests[0].title, "Select the MKV");
    ASSERT_EQ(host.fileRequests[0].filters.size(), 3u);
    EXPECT_EQ(host.fileRequests[0].filters[0].pattern, "*.MKV");
    EXPECT_EQ(host.topmost, std::vector<bool>{true});
}

TEST_F(Handlers, TheExtensionDecidesTheSourceType) {
    const std::string avi = media.Write("Clip.AVI", "x");
    media.Write("Clip.srt", "1");
    host.fileAnswers = {"  " + avi + "  "};
    Command1_Click(ctx);
    EXPECT_EQ(form.strType, "avi");
    EXPECT_EQ(form.strFullname, avi);
    EXPECT_EQ(form.chkMP2.value(), 1);
    EXPECT_EQ(form.cmdConv.selectedIndex(), 2);
    EXPECT_TRUE(form.lblSRTFound.visible && form.chkSubs.visible);

    host.fileAnswers = {media.Write("Film.wmv", std::string(kAsfHead, 16) + "x")};
    Command1_Click(ctx);
    EXPECT_EQ(form.strType, "wmv");
    EXPECT_EQ(form.chkAVCHD.value(), 1);
    EXPECT_EQ(form.chkMP2.value(),
              0);  // ticked by the AVI before; the WMV chain re-encodes nothing
    EXPECT_FALSE(form.chk25.enabled || form.chkFF.enabled || form.chkVob.enabled);

    host.fileAnswers = {Mkv("FILM.MKV")};
    Command1_Click(ctx);
    EXPECT_EQ(form.strType, "mkv");
    EXPECT_EQ(form.txtFile.text(), media / "FILM.MKV");
}

// A file named .mkv that is not Matroska is refused by name, when chosen and at Convert (which
// batches and the command line reach without choosing), before any tool reads it.
TEST_F(Handlers, AnMkvNameOnAnotherKindOfFileIsRefusedAsNotAnMkv) {
    const std::string notMkv = media.Write("Clip.mkv", "RIFF....AVI LIST");
    const std::string said =
        "This file is named .mkv but is not an MKV (Matroska) file; nothing was converted: " +
        notMkv;
    ctx.runner.SetObserver([](const std::string& command) { ADD_FAILURE() << command; });
    host.fileAnswers = {notMkv};
    Command1_Click(ctx);
    EXPECT_EQ(form.strType, "");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, said);

    form.strType = "mkv";
    form.txtTMP.SetText(media.slash());
    ctx.analysis.bBatchMode = true;
    Command2_Click(ctx);
    EXPECT_EQ(form.txtProgress.text(), "Source error: " + said);
}

// Names other than .mkv and .avi are taken by what the file holds; a file no chain takes is
// refused before anything changes, and the earlier choice stays.
TEST_F(Handlers, OtherNamesAreTakenByTheirContent) {
    const std::string ebml = "\x1A\x45\xDF\xA3 matroska";
    const std::string riff = std::string("RIFF\0\0\0\0AVI LIST", 16);
    const std::pair<std::string, std::string> cases[] = {
        {"Film.wmv", std::string(kAsfHead, 16)},
        {"Film.asf", std::string(kAsfHead, 16)},
        {"Film.webm", ebml},
        {"Film.divx", riff},
        {"Film.mp4", std::string("\0\0\0\x20"
                                 "ftypisom",
                                 12)},
        {"Film.wmv", "an MP4 named .wmv"},
        {"Other.ts", "x"},
    };
    const char* types[] = {"wmv", "wmv", "mkv", "avi", "", "", ""};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [name, head] = cases[i];
        SCOPED_TRACE(name);
        form.strType.clear();
        form.txtFile.SetText("/earlier.mkv");
        host.messages.clear();
        host.fileAnswers = {media.Write(name, head + std::string(64, '\0'))};
        Command1_Click(ctx);
        EXPECT_EQ(form.strType, types[i]);
        if (*types[i] != 0) continue;
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_NE(host.messages[0].text.find("neither an MKV, an AVI nor a WMV"),
                  std::string::npos);
        EXPECT_EQ(form.txtFile.text(), "/earlier.mkv");
    }
}

TEST_F(Handlers, ASubtitleFileBesideAnMkvIsAnnounced) {
    host.fileAnswers = {Mkv("a film.mkv")};
    media.Write("a film.srt", "1");
    Command1_Click(ctx);
    EXPECT_TRUE(form.lblSRTFound.visible);
    EXPECT_TRUE(form.chkSubs.visible);
    EXPECT_FALSE(form.cmbSubs.visible);
}

TEST_F(Handlers, APathWithADoubleQuoteIsRefusedBeforeAnythingRuns) {
    host.fileAnswers = {media.Write("say \"hi\".mkv", "x")};
    Command1_Click(ctx);
    EXPECT_TRUE(form.strType.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("double quote"), std::string::npos);

    form.txtTMP.SetText(media.slash() + "bad\"folder/");
    Command2_Click(ctx);
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_FALSE(FileFound(ConfigPath()));
}

TEST_F(Handlers, ConvertAddsTheSeparatorDerivesThePlatformAndSavesTheSettings) {
    form.strType = "wmv";  // a dispatch target that touches no file
    form.txtTMP.SetText(media.path().string());
    std::vector<std::string> progress;
    form.txtProgress.onChange = [&](const Control& c) { progress.push_back(c.text()); };
    // No target converts for the Xbox 360, and the conversion says so first.
    for (auto [index, xbox] : {std::pair{0, false}, {1, true}, {2, false}, {-1, true}}) {
        progress.clear();
        form.cmbPlatform.SetSelectedIndex(index);
        Command2_Click(ctx);
        EXPECT_EQ(form.b360, xbox) << index;
        EXPECT_EQ(ChosenConsole(form) == Console::Xbox360, xbox) << index;
        EXPECT_EQ(!progress.empty() && progress.front() ==
                                           "No target chosen: converting for the "
                                           "Xbox 360",
                  index == -1)
            << index;
    }
    EXPECT_EQ(form.txtTMP.text(), media.slash());
    EXPECT_TRUE(FileFound(ConfigPath()));
}

// Folder texts the tools cannot carry are refused before anything runs or is saved; an empty one
// stays empty for the conversion to report, instead of becoming the root folder.
TEST_F(Handlers, ConvertRefusesFolderTextsNoToolCanCarry) {
    form.strType = "wmv";
    for (const std::string& folder :
         {media.slash() + "back\\", media.slash() + "back\\/", media.slash() + "two\nlines/"}) {
        host.messages.clear();
        form.txtTMP.SetText(folder);
        Command2_Click(ctx);
        ASSERT_EQ(host.messages.size(), 1u) << folder;
        EXPECT_NE(host.messages[0].text.find("Please rename it"), std::string::npos);
    }
    EXPECT_FALSE(FileFound(ConfigPath()));

    form.strType = "mkv";
    form.txtFile.SetText(Mkv("film.mkv"));
    form.txtTMP.SetText("");
    host.messages.clear();
    Command2_Click(ctx);
    EXPECT_EQ(form.txtTMP.text(), "");
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].text, "Output folder does not exist.");
}

// While another conversion holds the output folder, Convert is refused at once, naming it.
TEST_F(Handlers, ConvertIntoAFolderAnotherConversionHoldsIsRefused) {
    form.strType = "wmv";
    form.txtTMP.SetText(media.slash());
    const int held = open((media / "kestrun.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    Command2_Click(ctx);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find("Another conversion"), std::string::npos);
    EXPECT_NE(host.messages[0].text.find(media.slash()), std::string::npos);
    EXPECT_FALSE(FileFound(ConfigPath()));
    close(held);

    Command2_Click(ctx);  // released: it runs, and leaves no lock file behind
    EXPECT_TRUE(FileFound(ConfigPath()));
    EXPECT_FALSE(FileFound(media / "kestrun.lock"));
}

TEST_F(Handlers, ChoosingASubtitleFileShowsAndChecksEmbedSubs) {
    form.cmbSubs.visible = true;
    form.chkMP2.enabled = false;
    host.fileAnswers = {" /subs/film.ass "};
    cmdSubs_Click(ctx);
    EXPECT_EQ(form.strSubBrowse, "/subs/film.ass");
    EXPECT_TRUE(form.chkSubs.visible && form.chkSubs.enabled);
    EXPECT_EQ(form.chkSubs.value(), 1);
    EXPECT_FALSE(form.cmbSubs.visible);
    EXPECT_TRUE(form.chkMP2.enabled);
    EXPECT_EQ(host.fileRequests.back().filters[0].pattern, "*.srt; *.ssa; *.ass");

    form.chkSubs.SetValue(0);
    cmdSubs_Click(ctx);  // cancelled
    EXPECT_EQ(form.chkSubs.value(), 0);
    EXPECT_EQ(form.strSubBrowse, "/subs/film.ass");
}

TEST_F(Handlers, OutputFolderChooser) {
    form.txtTMP.SetText("/keep/");
    cmdTargetFolder_Click(ctx);
    EXPECT_EQ(form.txtTMP.text(), "/keep/");
    host.folderAnswers = {"/", "/media/films"};
    cmdTargetFolder_Click(ctx);
    EXPECT_EQ(form.txtTMP.text(), "/");
    cmdTargetFolder_Click(ctx);
    EXPECT_EQ(form.txtTMP.text(), "/media/films/");
    EXPECT_EQ(host.folderTitles[0], "Please select a folder where the converted file is stored.");
}

// The pieces of a split source are each verified as they are made: one that fails keeps the
// source failed, and the source's own verification does not judge its last piece again.
TEST_F(Handlers, APieceThatFailsVerificationKeepsTheSourceFailed) {
    const std::string whole = FfmpegSample(
        {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1", "-c:v", "libx264",
         "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-movflags", "+faststart"},
        "mp4");
    const std::string cut = media.Write("piece-1.mp4", std::string("\0\0\0\x20"
                                                                   "ftypisom",
                                                                   12));
    const auto verify = [&](const std::string& piece) {
        ctx.finishedOutput = piece;
        VerifyFinishedOutput(ctx);
        return ctx.finishedOutputPlays;
    };
    EXPECT_EQ(verify(whole), std::optional<bool>(true));
    EXPECT_EQ(verify(cut), std::optional<bool>(false));
    EXPECT_EQ(verify(whole), std::optional<bool>(false));  // a later piece that plays
    form.txtProgress.SetText("");
    verify(whole);  // the source's own verification after its last piece
    EXPECT_EQ(form.txtProgress.text(), "");
}

}  // namespace
}  // namespace kestrun::test
