// The command line and the folder batches: which files are converted, in which order, with which
// counter, into which output folder; what is skipped and what is never asked.
#include "app/batch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "model/context.h"
#include "support/samples.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

// A person who closes the window after the first file of a batch.
class StoppingHost : public ScriptedHost {
public:
    bool StopRequested() const override { return stop; }
    bool stop = false;
};

class Batch : public ::testing::Test {
protected:
    Batch() {
        // Every dispatched file shows up in txtFile; the counter in lblMulti. What the window
        // shows at that moment is recorded with it.
        form.txtFile.onChange = [this](const Control& c) {
            converted.push_back(c.text());
            recodeAtStart.push_back(form.chkMP2.value());
            outputAtStart.push_back(form.txtTMP.text());
            if (onConvert) onConvert();
        };
        form.lblMulti.onChange = [this](const Control& c) { counters.push_back(c.text()); };
        form.txtTMP.SetText(out.slash());
    }

    std::string Mkv(const std::string& name) { return media.Write(name, "matroska"); }
    // The folder's MKV files as the listing gives them, with their full paths.
    std::vector<std::string> Listed(const TempFolder& folder) {
        std::vector<std::string> paths;
        for (const auto& name : MkvFilesIn(folder.path().string())) paths.push_back(folder / name);
        return paths;
    }

    TempFolder prog{"kestrun-prog"};
    TempFolder media{"kestrun-media"};
    TempFolder out{"kestrun-out"};
    StoppingHost host;
    Context ctx{host, prog.path().string()};
    Form1& form = ctx.form;

    std::vector<std::string> converted;
    std::vector<int> recodeAtStart;
    std::vector<std::string> outputAtStart;
    std::vector<std::string> counters;
    std::function<void()> onConvert;
};

TEST_F(Batch, AFolderWithOneFileCountsOneOfOne) {
    const std::string film = Mkv("film.mkv");
    media.Write("notes.txt", "x");
    host.folderAnswers = {media.path().string()};
    cmdFolder_Click(ctx);

    EXPECT_EQ(converted, std::vector<std::string>{film});
    EXPECT_EQ(counters, std::vector<std::string>{"1 of 1"});
    EXPECT_FALSE(form.lblMulti.visible);
    EXPECT_EQ(form.strType, "mkv");
    EXPECT_EQ(form.strFilename, film);
    EXPECT_TRUE(ctx.analysis.bBatchMode);
    EXPECT_EQ(host.folderTitles,
              std::vector<std::string>{"Please select a folder with MKV files to be converted."});
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].text, "Store resulting files in source folder ?");
    EXPECT_EQ(host.messages[0].title, "Kestrun");
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::YesNo);
}

TEST_F(Batch, NothingIsAskedWithoutMkvFilesOrAFolder) {
    form.lblSRTFound.visible = form.cmbSubs.visible = true;
    form.bSplit = true;
    cmdFolder_Click(ctx);  // dialog cancelled
    EXPECT_TRUE(ctx.analysis.bBatchMode);
    EXPECT_FALSE(form.lblSRTFound.visible || form.cmbSubs.visible || form.bSplit);
    EXPECT_EQ(host.topmost, std::vector<bool>{true});

    media.Write("film.mp4", "x");
    mkdir((media / "folder.mkv").c_str(), 0755);  // a folder is not a source
    host.folderAnswers = {media.path().string()};
    cmdFolder_Click(ctx);
    cmdlineFolder(ctx, media.path().string());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(converted.empty() && counters.empty());
    EXPECT_EQ(form.txtTMP.text(), out.slash());
}

TEST_F(Batch, YesStoresTheResultsInTheSourceFolderAndLeavesItThere) {
    Mkv("a.mkv");
    Mkv("b.mkv");
    host.folderAnswers = {media.path().string()};
    host.questionAnswers = {MsgResult::Yes};
    cmdFolder_Click(ctx);
    ASSERT_EQ(outputAtStart.size(), 2u);
    EXPECT_EQ(outputAtStart[0], media.slash());
    EXPECT_EQ(form.txtTMP.text(), media.path().string());
}

TEST_F(Batch, NoKeepsTheOutputFolder) {
    Mkv("a.mkv");
    form.txtTMP.SetText(out.path().string());  // Convert appends the separator on the way
    host.folderAnswers = {media.path().string()};
    host.questionAnswers = {MsgResult::No};
    cmdFolder_Click(ctx);
    EXPECT_EQ(outputAtStart, std::vector<std::string>{out.path().string()});
    EXPECT_EQ(form.txtTMP.text(), out.path().string());
}

// Every file would fail on a missing output folder: the batch names it once and converts none.
TEST_F(Batch, AMissingOutputFolderIsNamedBeforeAnyFile) {
    Mkv("a.mkv");
    const std::string missing = out / "gone";
    form.txtTMP.SetText(missing);
    cmdlineFolder(ctx, media.path().string());
    EXPECT_TRUE(converted.empty() && counters.empty());
    EXPECT_EQ(form.txtProgress.text(),
              "Folder error: The output folder does not exist; nothing was converted: " + missing);
}

TEST_F(Batch, OnlyTheResultTheChosenChainWritesHoldsASourceBack) {
    for (const char* name : {"a.mkv", "b.mkv", "c.mkv", "d.mkv", "e.mkv"}) Mkv(name);
    out.Write("b.mp4", "x");
    out.Write("c.mpg", "x");  // an M2TS batch's: this one writes MP4
    out.Write("d.m2ts", "x");
    media.Write("e.mp4", "x");  // beside the source, not in the output folder
    std::vector<std::string> expected;
    for (const auto& path : Listed(media))
        if (path != media / "b.mkv") expected.push_back(path);

    host.folderAnswers = {media.path().string()};
    cmdFolder_Click(ctx);
    EXPECT_EQ(converted, expected);
    EXPECT_EQ(counters,
              (std::vector<std::string>{"1 of 5", "2 of 5", "3 of 5", "4 of 5", "5 of 5"}));

    // The command line's folder batch tests the same way, in the current output folder.
    form.txtFile.SetText({});
    converted.clear();
    cmdlineFolder(ctx, media.path().string());
    EXPECT_EQ(converted, expected);
}

TEST_F(Batch, TwoSourcesOfOneResultNameRefuseTheSecondNamingBoth) {
    for (const char* name : {"Ep.01.mkv", "Ep_01.mkv", "Ep.02.mkv"}) Mkv(name);
    std::vector<BatchFileDone> done;
    RunBatch(ctx, {media.path().string(), MkvFilesIn(media.path().string()), out.path().string(),
                   false, [&](const BatchFileDone& d) { done.push_back(d); }});
    ASSERT_EQ(done.size(), 3u);
    std::vector<std::string> refused;
    for (const BatchFileDone& d : done)
        if (d.step == BatchStep::RefusedName) refused.push_back(d.source + " " + d.reason);
    ASSERT_EQ(refused.size(), 1u);
    const bool dotsFirst = std::count(converted.begin(), converted.end(), media / "Ep.01.mkv");
    EXPECT_EQ(refused[0], (media / (dotsFirst ? "Ep_01.mkv" : "Ep.01.mkv")) +
                              " its result name Ep_01.mp4 is that of " +
                              (dotsFirst ? "Ep.01.mkv" : "Ep_01.mkv"));
    EXPECT_EQ(converted.size(), 2u);
    EXPECT_NE(ReadWholeFile(prog / "debug.log").find("rename one of the two"), std::string::npos);
}

TEST_F(Batch, AResultThatIsNotShownToBeTheSourcesIsKeptAndTheSourceNotConverted) {
    // The result plays, but the source's length cannot be read: nothing shows it is this film's.
    Mkv("film.mkv");
    std::filesystem::copy_file(H264Sample(320, 240, 25, {}, "25", "mp4"), out / "film.mp4");
    std::vector<BatchFileDone> done;
    RunBatch(ctx, {media.path().string(),
                   {"film.mkv"},
                   out.path().string(),
                   false,
                   [&](const BatchFileDone& d) { done.push_back(d); }});
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].step, BatchStep::KeptResult);
    EXPECT_EQ(done[0].reason.rfind("result exists but is not shown to be this source's", 0), 0u)
        << done[0].reason;
    EXPECT_TRUE(converted.empty());
}

TEST_F(Batch, TheFolderBatchRestoresRecodeBeforeEachFile) {
    Mkv("a.mkv");
    Mkv("b.mkv");
    Mkv("c.mkv");
    // The analysis of every file forces "MPEG2 Recode", as a failed DPB check does.
    onConvert = [this] { form.chkMP2.SetValue(1); };
    host.folderAnswers = {media.path().string()};
    cmdFolder_Click(ctx);
    EXPECT_EQ(recodeAtStart, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(form.intListConv, 0);

    // A person's own choice is what comes back.
    onConvert = nullptr;
    converted.clear();
    recodeAtStart.clear();
    form.txtFile.SetText({});
    form.chkMP2.SetValue(1);
    host.folderAnswers = {media.path().string()};
    cmdFolder_Click(ctx);
    EXPECT_EQ(recodeAtStart.back(), 1);
}

TEST_F(Batch, TheCommandLineTakesAnMkvFileOrAFolderAsOnePath) {
    const std::string lower = Mkv("My Film.mkv");
    const std::string upper = Mkv("LOUD.MKV");
    bool modeDuringConversion = false;
    onConvert = [&] { modeDuringConversion = ctx.analysis.bCmdLineMode; };

    cmdLine(ctx, lower);
    EXPECT_EQ(converted, std::vector<std::string>{lower});
    EXPECT_EQ(form.strFullname, lower);
    EXPECT_TRUE(modeDuringConversion);
    EXPECT_FALSE(ctx.analysis.bCmdLineMode);
    EXPECT_FALSE(ctx.analysis.bBatchMode);

    cmdLine(ctx, upper);
    EXPECT_EQ(converted.back(), upper);

    converted.clear();
    for (const std::string& ignored :
         {std::string(), "\"" + lower + "\"", media / "missing.mkv", media.Write("clip.avi", "x")})
        cmdLine(ctx, ignored);
    EXPECT_TRUE(converted.empty());

    form.txtFile.SetText({});
    converted.clear();
    cmdLine(ctx, media.path().string());
    EXPECT_EQ(converted, Listed(media));
    EXPECT_TRUE(ctx.analysis.bBatchMode);
    EXPECT_TRUE(host.folderTitles.empty());
    for (const auto& m : host.messages) EXPECT_NE(m.buttons, MsgButtons::YesNo) << m.text;
    EXPECT_EQ(form.txtTMP.text(), out.slash());
}

TEST_F(Batch, AFolderPathEndingInASeparatorGivesPlainPaths) {
    Mkv("a.mkv");
    cmdLine(ctx, media.slash());
    EXPECT_EQ(converted, std::vector<std::string>{media / "a.mkv"});
}

TEST_F(Batch, APathThatNoToolCanCarryIsRefusedAndTheBatchGoesOn) {
    Mkv("say \"hi\".mkv");
    const std::string plain = Mkv("plain.mkv");
    cmdlineFolder(ctx, media.path().string());
    EXPECT_EQ(converted, std::vector<std::string>{plain});
    // Said in the progress line and the log: no box holds the batch.
    EXPECT_TRUE(host.messages.empty());
    EXPECT_NE(ReadWholeFile(prog / "debug.log").find("say \"hi\".mkv"), std::string::npos);
}

TEST_F(Batch, ClosingTheWindowEndsTheBatchAfterTheRunningFile) {
    Mkv("a.mkv");
    Mkv("b.mkv");
    Mkv("c.mkv");
    onConvert = [this] { host.stop = true; };
    cmdlineFolder(ctx, media.path().string());
    EXPECT_EQ(converted.size(), 1u);
    EXPECT_FALSE(form.lblMulti.visible);
}

}  // namespace
}  // namespace kestrun::test
