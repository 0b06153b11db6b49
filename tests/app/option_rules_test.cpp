// The rules between the option boxes, including the cascades a program change sets off.
#include "app_fixture.h"

namespace kestrun::test {
namespace {

using OptionRules = AppTest;

TEST_F(OptionRules, AvchdRemembersTheRecodeFormatAndRestoresIt) {
    form.cmdConv.SetSelectedIndex(2);  // Xvid
    form.chkAVCHD.Click();
    EXPECT_EQ(form.cmdConv.selectedIndex(), 1);
    EXPECT_EQ(form.chkFF.text(), "Fast Mux");
    EXPECT_FALSE(form.chkVob.enabled);
    EXPECT_FALSE(form.chk25.enabled);
    EXPECT_TRUE(form.chkSubs.enabled);

    form.chkAVCHD.Click();
    EXPECT_EQ(form.cmdConv.selectedIndex(), 2);
    EXPECT_EQ(form.chkFF.text(), "Safe Sync");
    EXPECT_TRUE(form.chkVob.enabled && form.chk25.enabled && form.chkMP2.enabled);
}

TEST_F(OptionRules, VobAndAvchdExcludeEachOtherAndSwitchTheSyncCaption) {
    form.chk25.Click();
    form.chk25.Click();
    form.chkVob.Click();
    EXPECT_EQ(form.chkFF.text(), "Fast Mux");
    EXPECT_FALSE(form.chkAVCHD.enabled);
    EXPECT_FALSE(form.chk25.enabled);
    form.chkVob.Click();
    EXPECT_EQ(form.chkFF.text(), "Safe Sync");
    EXPECT_TRUE(form.chkAVCHD.enabled && form.chk25.enabled);
}

TEST_F(OptionRules, FastMuxClickChangesOnlyItsOwnBox) {
    form.chkVob.Click();
    form.chkMP2.SetValue(1);
    const bool mp2Enabled = form.chkMP2.enabled, vobEnabled = form.chkVob.enabled;
    form.chkFF.Click();
    EXPECT_EQ(form.chkFF.value(), 1);
    EXPECT_EQ(form.chkMP2.value(), 1);
    EXPECT_EQ(form.chkVob.value(), 1);
    EXPECT_EQ(form.chkMP2.enabled, mp2Enabled);
    EXPECT_EQ(form.chkVob.enabled, vobEnabled);
}

TEST_F(OptionRules, SafeSyncOverMpeg2RecodeRunsItsRuleFirstAndEndsWithFourBoxesOff) {
    form.chkMP2.Click();
    form.chkSubs.SetValue(1);
    const int repaintsBefore = host.repaints;
    form.chkFF.Click();
    for (CheckBox* box : {&form.chkMP2, &form.chkVob, &form.chk25, &form.chkAVCHD}) {
        EXPECT_EQ(box->value(), 0) << box->name();
        EXPECT_FALSE(box->enabled) << box->name();
    }
    EXPECT_EQ(form.chkSubs.value(), 0);  // cleared by the recode rule on the way
    EXPECT_FALSE(form.chkSubs.enabled);
    EXPECT_GT(host.repaints, repaintsBefore);

    form.chkFF.Click();
    for (CheckBox* box : {&form.chkMP2, &form.chkVob, &form.chk25, &form.chkAVCHD})
        EXPECT_TRUE(box->enabled) << box->name();
}

TEST_F(OptionRules, TwentyFiveFpsLocksTheBoxesThatWouldChangeTheTiming) {
    form.chk25.Click();
    EXPECT_FALSE(form.chkMP2.enabled || form.chkVob.enabled || form.chkFF.enabled);
    form.chk25.Click();
    EXPECT_TRUE(form.chkMP2.enabled && form.chkVob.enabled && form.chkFF.enabled);
    form.chkMP2.Click();
    EXPECT_FALSE(form.chk25.enabled);
}

TEST_F(OptionRules, SettingTheSameValueRunsNoRule) {
    form.chkAVCHD.enabled = false;
    form.chkVob.SetValue(0);  // no change: the rule that would enable chkAVCHD stays quiet
    EXPECT_FALSE(form.chkAVCHD.enabled);
    EXPECT_FALSE(form.chkVob.SetValue(2));
}

TEST_F(OptionRules, AudioListShowsTheFormatAndTrackOfTheChosenRow) {
    ctx.analysis.strAudioTracks[0] = {"eng", "0", "2"};
    ctx.analysis.strAudioTracks[1] = {"ger", "1", "3"};
    form.cmbAudio.AddItem("eng");
    form.cmbAudio.AddItem("ger");
    form.cmbAudio.SetSelectedIndex(1);
    EXPECT_EQ(form.SelectedAudioFormat(), 1);
    EXPECT_EQ(form.txtS2.text(), "3");
    form.cmbAudio.SetSelectedIndex(0);
    EXPECT_EQ(form.SelectedAudioFormat(), 0);
    EXPECT_EQ(form.txtS2.text(), "2");
}

TEST_F(OptionRules, DesignDefaults) {
    EXPECT_EQ(form.Check1.value(), 1);
    EXPECT_EQ(form.cmbPlatform.selectedIndex(), -1);
    EXPECT_EQ(form.cmbPlatform.items()[2], "PS3  (2.0)");
    EXPECT_FALSE(form.chkSubs.visible || form.cmbSubs.visible || form.lblSRTFound.visible);
    EXPECT_EQ(form.txtProgress.text(), "progress......");
    EXPECT_EQ(form.chkDVD.text(), "  Fit to DVD (4.7)");
    EXPECT_EQ(form.txtTMP.text().back(), '/');
    EXPECT_EQ(form.AllControls().size(), 44u);
}

}  // namespace
}  // namespace kestrun::test
