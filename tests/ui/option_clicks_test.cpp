// The option rules under a person's clicks on the real widgets: the widgets only pass the click
// on, and show what the window model's rules made of it.
#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include "window_fixture.h"

namespace kestrun::test {
namespace {

class OptionClicks : public WindowTest {
protected:
    OptionClicks() { window->show(); }

    QCheckBox* Box(const std::string& name) { return Widget<QCheckBox>(name); }
    void Click(const std::string& name) { QTest::mouseClick(Box(name), Qt::LeftButton); }
    // The state of a check box as a person sees it: "on"/"off", and "-" when it is disabled.
    std::string Seen(const std::string& name) {
        QCheckBox* box = Box(name);
        return std::string(box->isChecked() ? "on" : "off") + (box->isEnabled() ? "" : "-");
    }
    std::string RecodeFormat() { return Widget<QComboBox>("cmdConv")->currentText().toStdString(); }
};

TEST_F(OptionClicks, AvchdSwitchesToH264AndBack) {
    QComboBox* conv = Widget<QComboBox>("cmdConv");
    conv->setFocus();
    QTest::keyClick(conv, Qt::Key_End);  // a person picks "Xvid"
    EXPECT_EQ(form.cmdConv.selectedIndex(), 2);

    Click("chkAVCHD");
    EXPECT_EQ(RecodeFormat(), "H264");
    EXPECT_EQ(Box("chkFF")->text(), "Fast Mux");
    EXPECT_EQ(Seen("chkVob"), "off-");
    EXPECT_EQ(Seen("chk25"), "off-");
    EXPECT_TRUE(Box("chkSubs")->isEnabled());

    Click("chkAVCHD");
    EXPECT_EQ(RecodeFormat(), "Xvid");
    EXPECT_EQ(Box("chkFF")->text(), "Safe Sync");
    EXPECT_EQ(Seen("chkVob"), "off");
    EXPECT_EQ(Seen("chk25"), "off");
    EXPECT_EQ(Seen("chkMP2"), "off");
}

TEST_F(OptionClicks, SafeSyncClearsAndLocksTheFourBoxesEvenUnderRecode) {
    Click("chkMP2");
    EXPECT_EQ(Seen("chkMP2"), "on");
    EXPECT_EQ(Seen("chk25"), "off-");

    Click("chkFF");
    for (const char* box : {"chkMP2", "chkVob", "chk25", "chkAVCHD"})
        EXPECT_EQ(Seen(box), "off-") << box;
    // A locked box does not take a click.
    Click("chkVob");
    EXPECT_EQ(form.chkVob.value(), 0);

    Click("chkFF");
    for (const char* box : {"chkMP2", "chkVob", "chk25", "chkAVCHD"})
        EXPECT_EQ(Seen(box), "off") << box;
}

TEST_F(OptionClicks, VobMakesFastMuxWhichChangesNothingElse) {
    Click("chkVob");
    EXPECT_EQ(Box("chkFF")->text(), "Fast Mux");
    EXPECT_EQ(Seen("chk25"), "off-");
    EXPECT_EQ(Seen("chkAVCHD"), "off-");
    Click("chkFF");
    EXPECT_EQ(Seen("chkFF"), "on");
    EXPECT_EQ(Seen("chkMP2"), "off");
    EXPECT_EQ(Seen("chkVob"), "on");

    Click("chkVob");
    EXPECT_EQ(Box("chkFF")->text(), "Safe Sync");
    EXPECT_EQ(Seen("chk25"), "off");
    EXPECT_EQ(Seen("chkAVCHD"), "off");
}

TEST_F(OptionClicks, TwentyFiveFpsLocksRecodeVobAndSafeSync) {
    Click("chk25");
    EXPECT_EQ(Seen("chkMP2"), "off-");
    EXPECT_EQ(Seen("chkVob"), "off-");
    EXPECT_EQ(Seen("chkFF"), "off-");
    Click("chk25");
    EXPECT_EQ(Seen("chkMP2"), "off");
    EXPECT_EQ(Seen("chkFF"), "off");
    SaveScreenshot("kestrun-window-after-clicks.png");
}

}  // namespace
}  // namespace kestrun::test
