// The window as the design draws it: every control's widget, caption, place, tab order and
// first state, and the window's own caption, size, icon and place on the screen.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <cmath>

#include "window_fixture.h"

namespace kestrun::test {
namespace {

struct Expected {
    const char* name;
    const char* caption;
    int left, top, width, height;  // twips; inside a frame, relative to it
    const char* frame;             // "" for the window itself
};

// The design's table of controls.
const Expected kControls[] = {
    {"txtFile", "", 1080, 1200, 3615, 375, ""},
    {"Command1", "File", 4920, 1200, 495, 375, ""},
    {"cmdFolder", "Folder", 5520, 1200, 615, 375, ""},
    {"cmdTargetFolder", "Set Output", 4920, 1680, 1215, 375, ""},
    {"Command2", "Convert", 1080, 4920, 4935, 495, ""},
    {"txtProgress", "progress......", 1080, 4440, 4935, 375, ""},
    {"cmbPlatform", "", 0, 3720, 1095, 315, ""},
    {"cmdConv", "", 1560, 3720, 1095, 315, ""},
    {"cmbPrio", "", 0, 3120, 1095, 315, ""},
    {"chkAVCHD", "AVCHD (BR/PS3)", 4800, 3960, 1695, 375, ""},
    {"chkVob", "Mux to Vob (PS3)", 4800, 3240, 1575, 375, ""},
    {"chkFF", "Safe Sync", 4800, 2880, 1455, 375, ""},
    {"chk25", "25 FPS output", 4800, 3600, 1455, 375, ""},
    {"chkMP2", "MPEG2 Recode", 1320, 3650, 255, 430, ""},
    {"chkDVD", "  Fit to DVD (4.7)", 3000, 4080, 1575, 255, ""},
    {"Check1", "Check1", 3000, 3720, 255, 435, ""},
    {"cmdSubs", "Browse Subs", 1560, 4080, 1215, 255, ""},
    {"Command3", "AC3Filter Options", 3000, 3480, 1695, 315, ""},
    {"Frame1", "Streams", 1080, 2160, 1695, 1455, ""},
    {"Label2", "Video track", 120, 0, 1335, 255, "Frame1"},
    {"chkSubs", "Embed subs", 240, 840, 1335, 255, "Frame1"},
    {"cmbSubs", "", 240, 1080, 1335, 315, "Frame1"},
    {"lblSRTFound", "SRT Found !", 240, 1080, 1335, 255, "Frame1"},
    {"lblSubs", "subtitles", 600, 600, 615, 255, "Frame1"},
    {"txtS1", "1", 1320, 2400, 375, 285, ""},
    {"txtS2", "2", 2160, 2400, 375, 285, ""},
    {"Frame2", "Audio detected", 3000, 2160, 1695, 1455, ""},
    {"cmbAudio", "", 120, 240, 1455, 315, "Frame2"},
    {"Option1(0)", "AC3", 3120, 2760, 735, 255, ""},
    {"Option1(1)", "DTS", 3120, 3000, 735, 255, ""},
    {"Option1(2)", "OGG", 3120, 3240, 735, 255, ""},
    {"Option1(3)", "MP3", 3840, 3000, 735, 255, ""},
    {"Option1(4)", "AAC", 3840, 2760, 735, 255, ""},
    {"Option1(5)", "MP2", 3840, 3240, 735, 255, ""},
    {"Frame3", "FPS", 4920, 2160, 1095, 615, ""},
    {"txtSFPS", "23.976", 120, 240, 735, 285, "Frame3"},
    {"lblMulti", "", 0, 4500, 1575, 255, ""},
    {"Label5(1)", "Sourcefile", 0, 1245, 1695, 255, ""},
    {"Label5(0)", "Output folder", 0, 1725, 1455, 255, ""},
    {"Label4", "Priority:", 0, 2880, 1095, 255, ""},
    {"Label1", "Target:", 0, 3480, 1095, 255, ""},
    {"Autosplit", "Split > 4GB ?", 3360, 3840, 1335, 255, ""},
    {"Label3", "3Ivx", 4200, 2760, 495, 255, ""},
};

// The keyboard order of the controls one can reach, by the design's tab indices.
const char* const kTabOrder[] = {
    "txtFile",    "Command1", "Command2",   "txtS2",           "txtS1",       "Option1(0)",
    "Option1(1)", "txtSFPS",  "txtTMP",     "Option1(2)",      "txtProgress", "Command3",
    "cmbSubs",    "Check1",   "cmdFolder",  "Option1(3)",      "chkFF",       "chkVob",
    "chkMP2",     "chk25",    "Option1(4)", "cmdTargetFolder", "chkSubs",     "chkDVD",
    "cmdSubs",    "cmdConv",  "cmbAudio",   "chkAVCHD",        "cmbPlatform", "Option1(5)",
    "cmbPrio"};

int Pixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

QString CaptionOf(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) return frame->title();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    return "?";
}

std::vector<std::string> Items(QComboBox* combo) {
    std::vector<std::string> items;
    for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
    return items;
}

class WindowLayout : public WindowTest {};

TEST_F(WindowLayout, EveryControlHasItsCaptionAndPlace) {
    window->show();
    for (const Expected& e : kControls) {
        SCOPED_TRACE(e.name);
        QWidget* widget = window->WidgetFor(e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(CaptionOf(widget).toStdString(), e.caption);
        EXPECT_EQ(widget->geometry(),
                  QRect(Pixels(e.left), Pixels(e.top), Pixels(e.width), Pixels(e.height)));
        QWidget* expectedParent = *e.frame ? window->WidgetFor(e.frame) : window.get();
        EXPECT_EQ(widget->parentWidget(), expectedParent);
    }
    EXPECT_EQ(Widget<QLineEdit>("txtTMP")->text().toStdString(), DefaultOutputFolder());
    EXPECT_EQ(Widget<QLineEdit>("txtTMP")->geometry(), QRect(72, 112, 241, 25));
    for (Control* control : form.AllControls())
        EXPECT_NE(window->WidgetFor(control->name()), nullptr) << control->name();
}

TEST_F(WindowLayout, ListsHoldTheirItemsWithoutASelection) {
    EXPECT_EQ(Items(Widget<QComboBox>("cmbPlatform")),
              (std::vector<std::string>{"PS3 (5.1)", "Xbox 360", "PS3  (2.0)"}));
    EXPECT_EQ(Items(Widget<QComboBox>("cmdConv")),
              (std::vector<std::string>{"MPEG2", "H264", "Xvid"}));
    EXPECT_EQ(Items(Widget<QComboBox>("cmbPrio")), (std::vector<std::string>{"Low", "High"}));
    for (const char* list : {"cmbPlatform", "cmdConv", "cmbPrio", "cmbSubs", "cmbAudio"})
        EXPECT_EQ(Widget<QComboBox>(list)->currentIndex(), -1) << list;
    EXPECT_EQ(Widget<QComboBox>("cmbAudio")->count(), 0);
    EXPECT_EQ(Widget<QComboBox>("cmbSubs")->count(), 0);
}

TEST_F(WindowLayout, FirstStateAndTooltipsAreTheDesigns) {
    // A first start without a settings file keeps the design's defaults.
    window->LoadSettings();
    window->show();
    for (const char* hidden : {"chkSubs", "cmbSubs", "lblSRTFound", "lblSubs"})
        EXPECT_FALSE(window->WidgetFor(hidden)->isVisible()) << hidden;
    for (const char* disabled : {"txtS1", "txtS2", "txtSFPS", "Option1(0)", "Option1(1)",
                                 "Option1(2)", "Option1(3)", "Option1(4)", "Option1(5)"})
        EXPECT_FALSE(window->WidgetFor(disabled)->isEnabled()) << disabled;
    for (const char* box : {"chkAVCHD", "chkVob", "chkFF", "chk25", "chkMP2", "chkDVD"})
        EXPECT_FALSE(Widget<QCheckBox>(box)->isChecked()) << box;
    EXPECT_TRUE(Widget<QCheckBox>("Check1")->isChecked());
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(Widget<QRadioButton>("Option1(" + std::to_string(i) + ")")->isChecked());
    EXPECT_TRUE(Widget<QPushButton>("Command2")->isEnabled());

    EXPECT_EQ(window->WidgetFor("Frame2")->toolTip(), "Original Audio format ");
    EXPECT_EQ(window->WidgetFor("Frame3")->toolTip(), "Frames per second in h264");
    EXPECT_EQ(window->WidgetFor("Autosplit")->toolTip(),
              "Needed for MP4 on PS3, and where you want to store data on a FAT32 disk.");
    EXPECT_EQ(window->WidgetFor("chk25")->toolTip(),
              "Speed up the video slightly, to play exteremely smooth on 720p50 displays.");
    EXPECT_EQ(window->WidgetFor("chkMP2")->toolTip(),
              "Encode to mpeg. Used to be able to play otherwise incompatible movies.");
    EXPECT_EQ(window->WidgetFor("chkVob")->toolTip(),
              "PS3 only method to encode 5.1 audio + h264 video in a m2ts");
    EXPECT_EQ(window->WidgetFor("chkFF")->toolTip(),
              "Decode ac3 audio with ffmpeg to try to bypass sync issues.");
    SaveScreenshot("kestrun-window.png");
}

TEST_F(WindowLayout, TheWindowIsCentredWithItsCaptionAndIcon) {
    window->show();
    EXPECT_EQ(window->windowTitle(), "Kestrun 0.24 B3");
    EXPECT_EQ(window->size(), QSize(437, 365));
    EXPECT_FALSE(window->windowIcon().isNull());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->frameGeometry().center() - screen.center()).manhattanLength(), 2);
}

TEST_F(WindowLayout, TabFollowsTheDesignsOrder) {
    std::vector<std::string> order;
    QWidget* first = window->WidgetFor("txtFile");
    QWidget* w = first;
    do {
        const std::string name = w->objectName().toStdString();
        if (window->WidgetFor(name) == w && (w->focusPolicy() & Qt::TabFocus))
            order.push_back(name);
        w = w->nextInFocusChain();
    } while (w != first);
    EXPECT_EQ(order, std::vector<std::string>(std::begin(kTabOrder), std::end(kTabOrder)));
}

}  // namespace
}  // namespace kestrun::test
