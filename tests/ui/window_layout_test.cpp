// The window as the design draws it: every control's widget, caption, place, tab order and
// first state (from window_design.txt), and the window's own caption, size, icon and place on
// the screen.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <cmath>
#include <fstream>
#include <sstream>

#include "window_fixture.h"

namespace kestrun::test {
namespace {

struct Expected {
    std::string name;
    int left = 0, top = 0, width = 0, height = 0;  // twips; inside a frame, relative to it
    std::string frame;                             // empty for the window itself
    std::string caption;
};

struct Design {
    std::vector<Expected> controls;
    std::vector<std::string> tabOrder;
};

// The design, read from window_design.txt: a table of its own, so that a wrong number in the
// model's table fails the test instead of being copied into it.
const Design& TheDesign() {
    static const Design design = [] {
        Design d;
        std::ifstream in(std::string(KESTRUN_UI_TEST_DATA) + "/window_design.txt");
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            std::vector<std::string> fields;
            std::istringstream cells(line);
            for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
            if (fields[0] == "@tab") {
                d.tabOrder.assign(fields.begin() + 1, fields.end());
                continue;
            }
            fields.resize(7);
            d.controls.push_back({fields[0], std::stoi(fields[1]), std::stoi(fields[2]),
                                  std::stoi(fields[3]), std::stoi(fields[4]),
                                  fields[5] == "-" ? "" : fields[5], fields[6]});
        }
        return d;
    }();
    return design;
}

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
    ASSERT_EQ(TheDesign().controls.size(), 43u);
    for (const Expected& e : TheDesign().controls) {
        SCOPED_TRACE(e.name);
        QWidget* widget = window->WidgetFor(e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(CaptionOf(widget).toStdString(), e.caption);
        EXPECT_EQ(widget->geometry(),
                  QRect(Pixels(e.left), Pixels(e.top), Pixels(e.width), Pixels(e.height)));
        QWidget* expectedParent = e.frame.empty() ? window.get() : window->WidgetFor(e.frame);
        EXPECT_EQ(widget->parentWidget(), expectedParent);
        EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry()));
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
    EXPECT_EQ(order, TheDesign().tabOrder);
}

}  // namespace
}  // namespace kestrun::test
