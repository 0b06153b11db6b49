// The fourteen-line settings file: what is written, what a later start restores, and how a
// damaged or short file is read.
#include "app/config.h"

#include "app_fixture.h"

namespace kestrun::test {
namespace {

using Config = AppTest;

std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    return text;
}

TEST_F(Config, NumberLinesUseTheLinePrinterForm) {
    EXPECT_EQ(LinePrinterNumber(1), " 1 ");
    EXPECT_EQ(LinePrinterNumber(0), " 0 ");
    EXPECT_EQ(LinePrinterNumber(-1), "-1 ");
}

TEST_F(Config, SavedSettingsComeBackInAFreshWindow) {
    form.strMKV = "/p/MKVToolnix/mkvextract";
    form.txtTMP.SetText("/films/out");
    form.strMKVPath = "/films/";
    form.strH264Opts = ":frameref=3";
    form.strSubOpts = "-subfont-text-scale 4";
    form.cmdConv.SetSelectedIndex(2);
    form.cmbPlatform.SetSelectedIndex(1);
    form.cmbPrio.SetSelectedIndex(1);
    form.Check1.SetValue(0);
    form.chkMP2.SetValue(1);
    SaveConfig(ctx);

    const std::string text = ReadWholeFile(ConfigPath());
    EXPECT_EQ(text,
              Lines({"/p/MKVToolnix/mkvextract", "", "", "/films/out", " 0 ", " 0 ", "/films/",
                     ":frameref=3", " 2 ", "-subfont-text-scale 4", " 1 ", " 0 ", " 1 ", " 1 "}));

    ScriptedHost otherHost;
    Context fresh(otherHost, prog.path().string());
    LoadConfig(fresh);
    EXPECT_EQ(fresh.form.txtTMP.text(), "/films/out");  // no separator added on load
    EXPECT_EQ(fresh.form.strMKVPath, "/films/");
    EXPECT_EQ(fresh.form.strH264Opts, ":frameref=3");
    EXPECT_EQ(fresh.form.strConvOpts, " 2 ");
    EXPECT_EQ(fresh.form.cmdConv.selectedIndex(), 2);
    EXPECT_EQ(fresh.form.cmbPlatform.selectedIndex(), 1);
    EXPECT_EQ(fresh.form.cmbPrio.selectedIndex(), 1);
    EXPECT_EQ(fresh.form.Check1.value(), 0);
    EXPECT_EQ(fresh.form.chkMP2.value(), 1);
    EXPECT_FALSE(fresh.form.chk25.enabled);  // the recode rule ran on load
}

TEST_F(Config, NoSelectionIsSavedAsMinusOneAndRestoredAsNoSelection) {
    SaveConfig(ctx);
    ScriptedHost otherHost;
    Context fresh(otherHost, prog.path().string());
    fresh.form.cmbPlatform.SetSelectedIndex(0);
    LoadConfig(fresh);
    EXPECT_EQ(fresh.form.cmbPlatform.selectedIndex(), -1);
    EXPECT_EQ(fresh.form.cmdConv.selectedIndex(), -1);
    EXPECT_EQ(fresh.form.cmbPrio.selectedIndex(), -1);
}

TEST_F(Config, FirstStartKeepsTheDesignDefaults) {
    const std::string folder = form.txtTMP.text();
    LoadConfig(ctx);
    EXPECT_EQ(form.txtTMP.text(), folder);
    EXPECT_EQ(form.cmbPrio.selectedIndex(), -1);
    EXPECT_EQ(form.Check1.value(), 1);
}

TEST_F(Config, IndexLinesOfAnotherLengthFallBackToTheFirstItem) {
    prog.Write("Kestrun.conf", Lines({"a", "b", "c", "/out/", " 0 ", " 1 ", "/in/", "x", "2", "s",
                                      " 2 ", " 0 ", " 0 ", ""}));
    form.cmbPrio.SetSelectedIndex(1);
    LoadConfig(ctx);
    EXPECT_EQ(form.strConvOpts, "0");
    EXPECT_EQ(form.cmdConv.selectedIndex(), 0);
    EXPECT_EQ(form.cmbPlatform.selectedIndex(), 2);
    EXPECT_EQ(form.cmbPrio.selectedIndex(), 0);
}

TEST_F(Config, ShortFileTakesTheLaterSettingsFromTheLastLineRead) {
    // Six lines: lines 7 to 14 all see " 1 ".
    prog.Write("Kestrun.conf", Lines({"a", "b", "c", "/out/", " 0 ", " 1 "}));
    LoadConfig(ctx);
    EXPECT_EQ(form.strMKVPath, " 1 ");
    EXPECT_EQ(form.strH264Opts, " 1 ");
    EXPECT_EQ(form.cmdConv.selectedIndex(), 1);
    EXPECT_EQ(form.cmbPlatform.selectedIndex(), 1);
    EXPECT_EQ(form.chkAVCHD.value(), 1);
    EXPECT_EQ(form.chkMP2.value(), 1);
    EXPECT_EQ(form.cmbPrio.selectedIndex(), 1);
}

TEST_F(Config, LinesThatDoNotConvertLeaveTheSettingAndReadingGoesOn) {
    prog.Write("Kestrun.conf", Lines({"a", "b", "c", "/out/", "yes", " 7 ", "/in/", "x", " 1 ", "s",
                                      "-5 ", " 0 ", " 0 ", " 1 "}));
    LoadConfig(ctx);
    EXPECT_EQ(form.chkVob.value(), 0);
    EXPECT_EQ(form.Check1.value(), 1);
    EXPECT_EQ(form.cmbPlatform.selectedIndex(), -1);
    EXPECT_EQ(form.cmdConv.selectedIndex(), 1);
    EXPECT_EQ(form.cmbPrio.selectedIndex(), 1);
}

TEST_F(Config, LoadingFiresTheRulesInLineOrder) {
    // Vob (line 5) first, then AVCHD (line 12): the AVCHD rule clears Vob, whose own rule then
    // switches the caption back, so the caption ends on "Safe Sync" with AVCHD checked.
    prog.Write("Kestrun.conf", Lines({"a", "b", "c", "/out/", " 1 ", " 1 ", "/in/", "x", " 2 ", "s",
                                      " 0 ", " 1 ", " 0 ", " 0 "}));
    LoadConfig(ctx);
    EXPECT_EQ(form.chkVob.value(), 0);
    EXPECT_FALSE(form.chkVob.enabled);
    EXPECT_EQ(form.chkAVCHD.value(), 1);
    EXPECT_EQ(form.chkFF.text(), "Safe Sync");
    EXPECT_FALSE(form.chk25.enabled);
    EXPECT_EQ(form.intListConv, 2);
    EXPECT_EQ(form.cmdConv.selectedIndex(), 1);
}

// The command line takes lines 8 and 10 only; the window's folder and choices stay the window's.
TEST_F(Config, OptionStringsAloneAreTakenFromLinesEightAndTen) {
    prog.Write("Kestrun.conf",
               Lines({"", "", "", "/films/out", " 1 ", " 0 ", "/films/", ":frameref=3", " 2 ",
                      "-subfont-text-scale 4", " 1 ", " 1 ", " 1 ", " 1 "}));
    const std::string folder = form.txtTMP.text();
    const int platform = form.cmbPlatform.selectedIndex();
    LoadOptionStrings(ctx);
    EXPECT_EQ(form.strH264Opts, ":frameref=3");
    EXPECT_EQ(form.strSubOpts, "-subfont-text-scale 4");
    EXPECT_EQ(form.txtTMP.text(), folder);
    EXPECT_EQ(form.cmdConv.selectedIndex(), -1);
    EXPECT_EQ(form.chkMP2.value(), 0);
    EXPECT_EQ(form.cmbPlatform.selectedIndex(), platform);
}

TEST_F(Config, LfOnlyFilesAreReadToo) {
    prog.Write("Kestrun.conf", "a\nb\nc\n/lf/\n 0 \n 1 \n/in/\nx\n 1 \ns\n 0 \n 0 \n 0 \n 0 \n");
    LoadConfig(ctx);
    EXPECT_EQ(form.txtTMP.text(), "/lf/");
    EXPECT_EQ(form.cmdConv.selectedIndex(), 1);
}

}  // namespace
}  // namespace kestrun::test
