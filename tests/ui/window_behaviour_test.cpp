// What the window does beyond its option rules: the registration script on a double click, the
// locked inputs and the busy indicator while a conversion runs, closing during a conversion, the
// decoder's settings dialog, and the Open dialogs' filters.
#include <sys/stat.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <fstream>
#include <functional>

#include "app/ui/busy_indicator.h"
#include "app/ui/decoder_options_dialog.h"
#include "window_fixture.h"

namespace kestrun::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string Read(const std::string& path) { return ReadWholeFile(path); }

// A tool that writes `made` and then takes `seconds` to finish.
void InstallSlowTool(const TempFolder& prog, const std::string& subPath, const std::string& made,
                     int seconds) {
    const std::string path =
        prog.Write(subPath.substr(1), "#!/bin/sh\necho part > '" + made + "'\nsleep " +
                                          std::to_string(seconds) + "\n");
    chmod(path.c_str(), 0755);
}

class WindowBehaviour : public WindowTest {
protected:
    WindowBehaviour() { window->show(); }
};

TEST_F(WindowBehaviour, ADoubleClickOnTheFreeAreaWritesTheRegistrationScript) {
    const std::string script = prog / "register.bat";
    QTest::mouseDClick(window->WidgetFor("Label5(1)"), Qt::LeftButton);
    EXPECT_FALSE(FileFound(script));  // a caption is not the free area

    prog.Write("register.bat", "stale line\r\n");
    QTest::mouseDClick(window.get(), Qt::LeftButton, {}, QPoint(20, 345));
    const std::string expected = "regsvr32 \"" + (prog / "FSFWrap.dll") + "\"\r\n" + "regsvr32 \"" +
                                 (prog / "WAVDEST.AX") + "\"\r\n";
    EXPECT_EQ(Read(script), expected);
    QTest::mouseDClick(window.get(), Qt::LeftButton, {}, QPoint(20, 345));
    EXPECT_EQ(Read(script), expected);  // replaced, not appended
}

// A conversion whose extraction takes long: what the window shows meanwhile, and closing it.
class ClosingDuringConversion : public WindowBehaviour {
protected:
    ClosingDuringConversion() {
        InstallSlowTool(prog, "/MKVToolnix/mkvextract", out / "movie.h264", 20);
        // Matroska's EBML header, which Convert looks for, and nothing of a film after it.
        form.txtFile.SetText(media.Write("film.mkv", "\x1A\x45\xDF\xA3 not really a film"));
        form.txtTMP.SetText(out.slash());
        form.strType = "mkv";
        ctx.analysis.strVideoCodec = "avc";
        form.SelectAudioFormat(0);
    }
    TempFolder media{"kestrun-ui-media"};
    TempFolder out{"kestrun-ui-out"};
};

TEST_F(ClosingDuringConversion, InputsAreLockedAndClosingStopsTheToolAndKeepsItsFiles) {
    MessageBoxAnswerer yes(QMessageBox::Yes);
    bool convertLockedWhileBusy = false, folderLockedWhileBusy = false, progressReadable = false;
    std::string busyText;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!window->busyIndicator().running() || !busyText.empty()) return;
        busyText = window->busyIndicator().text().toStdString();
        convertLockedWhileBusy = !window->WidgetFor("Command2")->isEnabled();
        folderLockedWhileBusy = Widget<QLineEdit>("txtTMP")->isReadOnly();
        progressReadable = Widget<QLineEdit>("txtProgress")->isEnabled();
        window->close();  // asks; the answerer says Yes
    });
    watcher.start(30);

    const auto start = Clock::now();
    QTest::mouseClick(Widget<QPushButton>("Command2"), Qt::LeftButton);
    QTest::qWait(50);

    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(busyText.rfind("Converting  0:0", 0), 0u) << busyText;
    EXPECT_TRUE(convertLockedWhileBusy);
    EXPECT_TRUE(folderLockedWhileBusy);
    EXPECT_TRUE(progressReadable);
    EXPECT_FALSE(Widget<QLineEdit>("txtTMP")->isReadOnly());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(FileFound(out / "movie.h264"));
    // The question was the only box: what failed after the stop is not reported.
    ASSERT_EQ(yes.texts.size(), 1u);
    EXPECT_NE(yes.texts[0].find("Stop it and close"), std::string::npos);
    EXPECT_TRUE(host.StopRequested());
}

TEST_F(ClosingDuringConversion, NoLetsTheConversionGoOnAndTheWindowStays) {
    InstallSlowTool(prog, "/MKVToolnix/mkvextract", out / "movie.h264", 1);
    MessageBoxAnswerer no(QMessageBox::No);
    bool asked = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (asked || !window->busyIndicator().running()) return;
        asked = true;
        window->close();
    });
    watcher.start(30);
    QTest::mouseClick(Widget<QPushButton>("Command2"), Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(host.StopRequested());
    EXPECT_FALSE(window->busyIndicator().isVisible());
    EXPECT_TRUE(window->WidgetFor("Command2")->isEnabled());
}

TEST(BusyIndicatorText, ElapsedTimeReadsAsAClock) {
    using ui::BusyIndicator;
    EXPECT_EQ(BusyIndicator::FormatElapsed(7'400).toStdString(), "0:07");
    EXPECT_EQ(BusyIndicator::FormatElapsed(750'000).toStdString(), "12:30");
    EXPECT_EQ(BusyIndicator::FormatElapsed(3'723'000).toStdString(), "1:02:03");
}

// Plays a person's part in the "AC3Filter Options" dialog once it is open.
void WhenDecoderOptionsOpen(QTimer& timer, std::function<void(QDialog&)> act) {
    QObject::connect(&timer, &QTimer::timeout, [&timer, act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != "decoderOptions") return;
        timer.stop();
        act(*dialog);
    });
    timer.start(20);
}

TEST_F(WindowBehaviour, DecoderOptionsAreKeptWhereTheDecoderReadsThem) {
    const std::string settingsPath = prog / "ac3filter.conf";
    QTimer person;
    WhenDecoderOptionsOpen(person, [](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "AC3Filter Options");
        dialog.findChild<QComboBox*>()->setCurrentIndex(2);  // "Stereo"
        dialog.findChild<QDoubleSpinBox*>()->setValue(-6.5);
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QTest::mouseClick(Widget<QPushButton>("Command3"), Qt::LeftButton);
    const DecoderSettings saved = DecoderSettings::Load(settingsPath);
    EXPECT_EQ(saved.channels, OutputChannels::Stereo);
    EXPECT_DOUBLE_EQ(saved.gainDb, -6.5);

    // The dialog opens on what was kept, and Cancel keeps it.
    QTimer again;
    WhenDecoderOptionsOpen(again, [](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QComboBox*>()->currentText(), "Stereo");
        dialog.findChild<QComboBox*>()->setCurrentIndex(1);
        dialog.reject();
    });
    QTest::mouseClick(Widget<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_EQ(DecoderSettings::Load(settingsPath), saved);
}

TEST(OpenDialogFilters, PatternsFindEveryCaseAndNamesStayAsGiven) {
    const QStringList filters =
        ui::NameFilters({{"mkv Files (*.mkv)", "*.MKV"}, {"Subtitle Files", "*.srt; *.ssa"}});
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0].toStdString(), "mkv Files (*.mkv) (*.[mM][kK][vV])");
    EXPECT_EQ(filters[1].toStdString(), "Subtitle Files (*.[sS][rR][tT] *.[sS][sS][aA])");
    EXPECT_EQ(ui::CaseInsensitivePattern("film_2.Mkv").toStdString(),
              "[fF][iI][lL][mM]_2.[mM][kK][vV]");
}

}  // namespace
}  // namespace kestrun::test
