// The console rules' verdict on a chosen source, in the window's progress line, which keeps its
// place and size.
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <filesystem>

#include "app/handlers.h"
#include "support/process.h"
#include "support/samples.h"
#include "window_fixture.h"

namespace kestrun::test {
namespace {

class SourceVerdict : public WindowTest {
protected:
    SourceVerdict() { window->show(); }
};

TEST_F(SourceVerdict, ChoosingASourceShowsItsVerdictForTheChosenConsoleAndOutput) {
    const std::string dts =
        FfmpegSample({"-f",        "lavfi",     "-i",   "testsrc2=size=320x240:rate=24",
                      "-f",        "lavfi",     "-i",   "sine=sample_rate=48000:duration=1",
                      "-frames:v", "2",         "-c:v", "libx264",
                      "-preset",   "ultrafast", "-c:a", "dca",
                      "-strict",   "-2",        "-ac",  "6"},
                     "mkv");
    QLineEdit* progress = Widget<QLineEdit>("txtProgress");
    const QRect place = progress->geometry();

    // No target chosen: judged for the Xbox 360, which the conversion is then made for.
    ChooseSource(ctx, dts);
    EXPECT_EQ(progress->text().toStdString(), "Xbox 360: needs audio conversion (MP4)");

    form.cmbPlatform.SetSelectedIndex(0);
    ChooseSource(ctx, dts);
    EXPECT_EQ(progress->text().toStdString(), "PS3: needs audio conversion (MP4)");
    EXPECT_EQ(progress->geometry(), place);
    SaveScreenshot("kestrun-window-source-verdict.png");

    form.chkAVCHD.SetValue(1);
    ChooseSource(ctx, dts);
    EXPECT_EQ(progress->text().toStdString(), "PS3: needs a remux (AVCHD)");
}

// A file dropped on the window is chosen as "File" chooses it.
TEST_F(SourceVerdict, ADroppedFileIsChosenAsTheFileButtonChoosesIt) {
    const std::string source =
        FfmpegSample({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=24", "-f", "lavfi", "-i",
                      "sine=sample_rate=48000:duration=1", "-frames:v", "2", "-c:v", "libx264",
                      "-c:a", "dca", "-strict", "-2", "-ac", "6"},
                     "mkv");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(source))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(form.txtFile.text(), source);
    EXPECT_EQ(Widget<QLineEdit>("txtProgress")->text().toStdString(),
              "Xbox 360: needs audio conversion (MP4)");
}

// A rip's picture subtitle tracks are in the subtitle list with their kind, beside text tracks.
TEST_F(SourceVerdict, PictureSubtitleTracksAreListedWithTheirKind) {
    std::filesystem::create_directory_symlink(BuiltTool("MKVToolnix"), prog / "MKVToolnix");
    for (const auto& [kind, item] : {std::pair{"pgs", "eng (PGS)"}, {"vobsub", "eng (VobSub)"}}) {
        ChooseSource(ctx, PictureSubtitleSample(kind));
        auto* list = Widget<QComboBox>("cmbSubs");
        ASSERT_EQ(list->count(), 1) << kind;
        EXPECT_NE(list->itemText(0).toStdString().find(item), std::string::npos)
            << list->itemText(0).toStdString();
        EXPECT_TRUE(list->isVisible());
    }
    SaveScreenshot("kestrun-window-picture-subtitles.png");
}

// A settings file cut short: what it lacks keeps the design's defaults, and the progress line
// says so as the window starts.
TEST_F(SourceVerdict, ADamagedSettingsFileIsNamedAsTheWindowStarts) {
    prog.Write("Kestrun.conf", "a\r\nb\r\nc\r\n/out/\r\n 0 \r\n 1 \r\n");
    window->LoadSettings();
    EXPECT_EQ(Widget<QLineEdit>("txtProgress")->text().toStdString(),
              "The settings file " + (prog / "Kestrun.conf") +
                  " is damaged: lines 7 to 14 missing. Those settings keep their defaults.");
    EXPECT_EQ(form.cmbPlatform.selectedIndex(), -1);
    EXPECT_EQ(form.chkAVCHD.value(), 0);
}

}  // namespace
}  // namespace kestrun::test
