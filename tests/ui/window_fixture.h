#pragma once
// The real main window over a temporary program folder, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/main_window.h"
#include "app/ui/qt_host.h"
#include "model/context.h"
#include "support/temp_folder.h"

namespace kestrun::test {

// One application per test process, on the offscreen platform whatever the display.
QApplication& OffscreenApplication();

// Answers every message box that comes up while it lives, with the given button, and keeps
// what the boxes said.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer);
    std::vector<std::string> texts;

private:
    std::unique_ptr<QTimer> timer_;
};

class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    template <typename W>
    W* Widget(const std::string& name) {
        auto* widget = qobject_cast<W*>(window->WidgetFor(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Saves a picture of the window into the build folder's test artifacts.
    void SaveScreenshot(const std::string& name);

    QApplication& app = OffscreenApplication();
    TempFolder prog{"kestrun-ui-prog"};
    ui::QtHost host;
    Context ctx{host, prog.path().string()};
    Form1& form = ctx.form;
    std::unique_ptr<ui::MainWindow> window;
};

}  // namespace kestrun::test
