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

TEST_F(Config, ShortFileKeepsTheDefaultsOfTheMissingLinesAndSaysSo) {
    // Cut after line 6: lines 7 to 14 are not there, so nothing takes " 1 " from line 6.
    prog.Write("Kestrun.conf", Lines({"a", "b", "c", "/out/", " 0 ", " 1 "}));
    LoadConfig(ctx);
    EXPECT_EQ(form.txtTMP.text(), "/out/");
    EXPECT_EQ(form.strMKVPath, "");
    EXPECT_EQ(form.strH264Opts, "");
    EXPECT_EQ(form.cmdConv.selectedIndex(), -1);
    EXPECT_EQ(form.cmbPlatform.selectedIndex(), -1);
    EXPECT_EQ(form.chkAVCHD.value(), 0);
    EXPECT_EQ(form.chkMP2.value(), 0);
    EXPECT_EQ(form.cmbPrio.selectedIndex(), -1);
    EXPECT_EQ(form.txtProgress.text(), "The settings file " + ConfigPath() +
                                           " is damaged: lines 7 to 14 missing. Those settings "
                                           "keep their defaults.");
}

// A line that is there but not valid for its control leaves that control as it was; the others
// are taken, and the progress line names each bad line.
TEST_F(Config, LinesNotValidForTheirControlKeepItsDefaultAndAreNamed) {
    const std::vector<std::string> good = {
        "a",   "b",    "c",           "/out/", " 0 ",
        " 0 ", "/in/", ":frameref=3", " 2 ",   "-subfont-text-scale 4",
        " 1 ", " 0 ",  " 1 ",         " 1 "};
    struct Case {
        int line;
        std::string text;
        std::string named;  // the problem as the progress line gives it
    };
    const Case cases[] = {
        {8, std::string(200 * 1024, 'x'),
         "line 8 (x264 option string) is too long: 204800 characters (at most 1024)"},
        {10, std::string(1025, 's'),
         "line 10 (subtitle option string) is too long: 1025 characters (at most 1024)"},
        {4, std::string("/o\0ut/", 6), "line 4 (output folder) holds control characters"},
        {11, " 7 ", "line 11 (Target) \" 7 \" is not an index from -1 to 2"},
        {9, " x ", "line 9 (recode format) \" x \" is not an index from -1 to 2"},
        {14, "-2 ", "line 14 (Priority) \"-2 \" is not an index from -1 to 1"},
        {13, " 2 ", "line 13 (MPEG2 Recode) \" 2 \" is not 0 or 1"},
        {6, "yes", "line 6 (Split > 4GB ?) \"yes\" is not 0 or 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ScriptedHost otherHost;
        Context fresh(otherHost, prog.path().string());
        const std::string designFolder = fresh.form.txtTMP.text();
        std::vector<std::string> lines = good;
        lines[c.line - 1] = c.text;
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        prog.Write("Kestrun.conf", text);
        LoadConfig(fresh);
        const Form1& f = fresh.form;
        EXPECT_EQ(f.txtTMP.text(), c.line == 4 ? designFolder : "/out/");
        EXPECT_EQ(f.Check1.value(), c.line == 6 ? 1 : 0);
        EXPECT_EQ(f.strH264Opts, c.line == 8 ? "" : ":frameref=3");
        EXPECT_EQ(f.cmdConv.selectedIndex(), c.line == 9 ? -1 : 2);
        EXPECT_EQ(f.strSubOpts, c.line == 10 ? "" : "-subfont-text-scale 4");
        EXPECT_EQ(f.cmbPlatform.selectedIndex(), c.line == 11 ? -1 : 1);
        EXPECT_EQ(f.chkMP2.value(), c.line == 13 ? 0 : 1);
        EXPECT_EQ(f.cmbPrio.selectedIndex(), c.line == 14 ? -1 : 1);
        EXPECT_EQ(f.txtProgress.text(), "The settings file " + ConfigPath() + " is damaged: " +
                                            c.named + ". Those settings keep their defaults.");
    }
}

TEST_F(Config, AWholeFileOfValidLinesSaysNothing) {
    prog.Write("Kestrun.conf", Lines({"a", "b", "c", "/out/", " 0 ", " 1 ", "/in/", "x", " 1 ", "s",
                                      " 0 ", " 0 ", " 0 ", " 0 "}));
    const std::string before = form.txtProgress.text();
    LoadConfig(ctx);
    EXPECT_EQ(form.txtProgress.text(), before);
}

// A file without line ends is read no further than a bound, and its one line is too long.
TEST_F(Config, AnEndlessLineIsReadOnlyToABound) {
    prog.Write("Kestrun.conf", std::string(3 << 20, '1'));
    LoadConfig(ctx);
    EXPECT_EQ(form.strMKV, "");
    EXPECT_NE(form.txtProgress.text().find("line 1 (mkvextract path) is too long: 1048576 "
                                           "characters (at most 4096); lines 2 to 14 missing"),
              std::string::npos)
        << form.txtProgress.text();
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

    // A line too long for an encoder's command line is refused by name.
    prog.Write("Kestrun.conf", Lines({"", "", "", "/films/out", " 1 ", " 0 ", "/films/",
                                      std::string(200 * 1024, 'x'), " 2 ", "-ass", " 1 "}));
    LoadOptionStrings(ctx);
    EXPECT_EQ(form.strH264Opts, ":frameref=3");
    EXPECT_EQ(form.strSubOpts, "-ass");
    EXPECT_NE(form.txtProgress.text().find("line 8 (x264 option string) is too long"),
              std::string::npos)
        << form.txtProgress.text();
}

TEST_F(Config, LfOnlyFilesAreReadToo) {
    prog.Write("Kestrun.conf", "a\nb\nc\n/lf/\n 0 \n 1 \n/in/\nx\n 1 \ns\n 0 \n 0 \n 0 \n 0 \n");
    LoadConfig(ctx);
    EXPECT_EQ(form.txtTMP.text(), "/lf/");
    EXPECT_EQ(form.cmdConv.selectedIndex(), 1);
}

}  // namespace
}  // namespace kestrun::test
