#include "window_fixture.h"

#include <QAbstractButton>
#include <cstdlib>
#include <filesystem>

namespace kestrun::test {

QApplication& OffscreenApplication() {
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Never destroyed: at exit, Qt's own statics (the test input devices) would otherwise be
    // torn down after the application they belong to.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer)
    : timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        texts.push_back(box->text().toStdString());
        if (QAbstractButton* button = box->button(answer))
            button->click();
        else
            box->reject();
    });
    timer_->start(20);
}

WindowTest::WindowTest()
    : host((prog / "ac3filter.conf"), ui::UnattendedLog()),
      window(std::make_unique<ui::MainWindow>(ctx, host)) {}

WindowTest::~WindowTest() { window.reset(); }

void WindowTest::SaveScreenshot(const std::string& name) {
    std::filesystem::create_directories(KESTRUN_TEST_ARTIFACTS);
    const std::string path = std::string(KESTRUN_TEST_ARTIFACTS) + "/" + name;
    EXPECT_TRUE(window->grab().save(QString::fromStdString(path))) << path;
}

}  // namespace kestrun::test
