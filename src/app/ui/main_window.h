#pragma once
// The main window: a view over the window model. Every control of the model gets one widget at
// its place; clicks go to the model's rules and the window's handlers, and whatever the model
// changes is shown again. While a handler runs tools the inputs are locked, a busy indicator
// counts the time, and closing asks first.
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/ui/unattended_log.h"

namespace kestrun {
class Control;
struct Context;
}  // namespace kestrun

namespace kestrun::ui {

class BusyIndicator;
class QtHost;

class MainWindow : public QWidget {
public:
    MainWindow(Context& ctx, QtHost& host, UnattendedLog log = UnattendedLog());
    // Unhooks the window from the model and the host, which may outlive it.
    ~MainWindow() override;

    // Form_Load, first half: the media components registered, the saved settings restored.
    void LoadSettings();
    // Form_Load, second half: a file or folder named on the command line is converted.
    void RunCommandLine(const std::string& commandLineText);

    // The widget that shows the named control, or nullptr.
    QWidget* WidgetFor(const std::string& controlName) const;
    const BusyIndicator& busyIndicator() const { return *busy_; }
    bool working() const { return working_; }
    // Brings every widget up to the model.
    void Render();

protected:
    // The first showing centres the window on the screen.
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // One file dropped on the window is taken as the "File" button takes a chosen one.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // What a handler does, which decides how the window behaves meanwhile.
    enum class Work {
        Dialog,      // shows a dialog only; the dialog blocks the window by itself
        Analysis,    // runs a tool to read the source
        Conversion,  // converts one file or a batch
    };
    struct View {
        Control* control;
        QWidget* widget;
    };

    void BuildViews();
    void ConnectInput(const View& view);
    void ConnectButton(const View& view);
    void WatchModel(const View& view);
    void ApplyTabOrder();
    void RenderView(const View& view);
    void Run(Work work, const std::function<void()>& handler);
    void Pumped();
    bool inputsLocked() const { return working_ && work_ != Work::Dialog; }

    Context& ctx_;
    QtHost& host_;
    UnattendedLog log_;
    QPixmap background_;
    std::vector<View> views_;
    std::map<std::string, QWidget*> widgets_;
    BusyIndicator* busy_;
    bool working_ = false;
    Work work_ = Work::Dialog;
    bool closeAfterWork_ = false;
    bool centred_ = false;
};

}  // namespace kestrun::ui
