#include "app/ui/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "app/batch.h"
#include "app/config.h"
#include "app/handlers.h"
#include "app/ui/busy_indicator.h"
#include "app/ui/control_view.h"
#include "app/ui/qt_host.h"
#include "app/ui/twips.h"
#include "model/context.h"
#include "model/messages.h"

namespace kestrun::ui {
namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), text.size()); }

using Handler = void (*)(Context&);

// The window's buttons and what each of them starts.
struct ButtonAction {
    const char* control;
    Handler handler;
    bool runsTools;
    bool converts;
};
constexpr ButtonAction kButtonActions[] = {
    {"Command1", Command1_Click, true, false},
    {"cmdFolder", cmdFolder_Click, true, true},
    {"Command2", Command2_Click, true, true},
    {"cmdSubs", cmdSubs_Click, false, false},
    {"cmdTargetFolder", cmdTargetFolder_Click, false, false},
    {"Command3", Command3_Click, false, false},
};

// A face narrow enough for the captions the design gives so little room (VB's "MS Sans Serif"
// at 8 points was about this size), with the plain face where the condensed one is missing.
QFont WindowFont() {
    QFont font;
    font.setFamilies({"DejaVu Sans Condensed", "DejaVu Sans"});
    font.setPixelSize(11);
    return font;
}

// Captions sit straight on the background picture but hide what lies under them (a frame's
// border, a label behind a box), as the design's opaque captions do: they paint the piece of
// the picture that is behind them.
void PaintPictureBehind(QWidget* widget, const QPixmap& picture, QWidget* window) {
    const QRect area(widget->mapTo(window, QPoint(0, 0)), widget->size());
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::Window, QBrush(picture.copy(area)));
    widget->setPalette(palette);
    widget->setBackgroundRole(QPalette::Window);  // buttons would fill with their own colour
    widget->setAutoFillBackground(true);
}

bool HasCaptionOnPicture(ControlKind kind) {
    return kind == ControlKind::Label || kind == ControlKind::CheckBox ||
           kind == ControlKind::OptionButton;
}

// The controls whose texts an unattended run writes down.
bool IsFollowedInLog(const std::string& name) {
    return name == "txtFile" || name == "lblMulti" || name == "txtProgress";
}

}  // namespace

MainWindow::MainWindow(Context& ctx, QtHost& host, UnattendedLog log)
    : ctx_(ctx),
      host_(host),
      log_(std::move(log)),
      background_(":/kestrun/background.jpg"),
      busy_(nullptr) {
    setObjectName("Form1");
    setWindowTitle(Q(msg::kWindowCaption));
    QIcon icon;
    icon.addFile(":/kestrun/kestrun-16.png");
    icon.addFile(":/kestrun/kestrun-32.png");
    setWindowIcon(icon);
    setFixedSize(kWindowSize);
    setFont(WindowFont());
    setAcceptDrops(true);

    BuildViews();
    ApplyTabOrder();
    busy_ = new BusyIndicator(this);
    busy_->setGeometry(236, 52, 194, 18);

    ctx_.command2Click = [this] { Command2_Click(ctx_); };
    host_.Attach(
        this, [this] { Render(); }, [this] { Pumped(); });
    Render();
}

MainWindow::~MainWindow() {
    for (const View& view : views_) view.control->onChange = nullptr;
    host_.Attach(nullptr, {}, {});
    ctx_.command2Click = nullptr;
}

void MainWindow::BuildViews() {
    // Frames first: the controls inside them are placed relative to them.
    std::vector<Control*> controls = ctx_.form.AllControls();
    std::stable_partition(controls.begin(), controls.end(),
                          [](Control* c) { return c->kind() == ControlKind::Frame; });
    for (Control* control : controls) {
        QWidget* parent = this;
        if (!control->container().empty()) parent = widgets_.at(control->container());
        const QIcon picture =
            control == &ctx_.form.cmdFolder ? QIcon(":/kestrun/folder-16.png") : QIcon();
        View view{control, CreateControlWidget(*control, parent, picture)};
        views_.push_back(view);
        widgets_[control->name()] = view.widget;
        ConnectInput(view);
        WatchModel(view);
    }
    for (const View& view : views_) {
        // The design's frames show their caption a little in from the left edge.
        if (view.control->kind() == ControlKind::Frame)
            view.widget->setStyleSheet(
                "QGroupBox::title { subcontrol-origin: margin; left: 8px; }");
        if (HasCaptionOnPicture(view.control->kind()))
            PaintPictureBehind(view.widget, background_, this);
        // Labels lie under the other controls, which cover them where they overlap.
        if (view.control->kind() == ControlKind::Label) view.widget->lower();
    }
}

void MainWindow::ConnectInput(const View& view) {
    Control* control = view.control;
    if (auto* check = qobject_cast<QCheckBox*>(view.widget)) {
        auto* box = static_cast<CheckBox*>(control);
        connect(check, &QCheckBox::clicked, this, [this, box] {
            if (inputsLocked()) return;
            box->Click();
            Render();
        });
    } else if (auto* radio = qobject_cast<QRadioButton*>(view.widget)) {
        const auto& options = ctx_.form.Option1;
        const auto index = std::find_if(options.begin(), options.end(),
                                        [&](const auto& o) { return &o == control; }) -
                           options.begin();
        connect(radio, &QRadioButton::clicked, this, [this, index] {
            ctx_.form.SelectAudioFormat(static_cast<int>(index));
            Render();
        });
    } else if (auto* combo = qobject_cast<QComboBox*>(view.widget)) {
        auto* list = static_cast<ListControl*>(control);
        connect(combo, &QComboBox::activated, this, [this, list](int index) {
            list->SetSelectedIndex(index);
            Render();
        });
    } else if (auto* edit = qobject_cast<QLineEdit*>(view.widget)) {
        connect(edit, &QLineEdit::textEdited, this,
                [control](const QString& text) { control->SetText(text.toStdString()); });
    } else if (qobject_cast<QPushButton*>(view.widget)) {
        ConnectButton(view);
    }
}

void MainWindow::ConnectButton(const View& view) {
    for (const ButtonAction& action : kButtonActions) {
        if (view.control->name() != action.control) continue;
        const Work work = action.converts    ? Work::Conversion
                          : action.runsTools ? Work::Analysis
                                             : Work::Dialog;
        connect(static_cast<QPushButton*>(view.widget), &QPushButton::clicked, this,
                [this, work, handler = action.handler] { Run(work, [&] { handler(ctx_); }); });
    }
}

void MainWindow::WatchModel(const View& view) {
    const bool followed = log_.active() && IsFollowedInLog(view.control->name());
    view.control->onChange = [this, view, followed](const Control& control) {
        RenderView(view);
        if (followed) log_.Write(control.name(), control.text());
    };
}

void MainWindow::ApplyTabOrder() {
    std::vector<View> inputs;
    for (const View& view : views_)
        if (IsInput(view.control->kind())) inputs.push_back(view);
    std::stable_sort(inputs.begin(), inputs.end(), [](const View& a, const View& b) {
        return a.control->tabIndex() < b.control->tabIndex();
    });
    for (size_t i = 1; i < inputs.size(); ++i) setTabOrder(inputs[i - 1].widget, inputs[i].widget);
}

QWidget* MainWindow::WidgetFor(const std::string& controlName) const {
    auto it = widgets_.find(controlName);
    return it == widgets_.end() ? nullptr : it->second;
}

void MainWindow::RenderView(const View& view) {
    RenderControl(*view.control, view.widget, inputsLocked());
}

void MainWindow::Render() {
    for (const View& view : views_) RenderView(view);
    busy_->Tick();
}

void MainWindow::LoadSettings() {
    LoadConfig(ctx_);
    Render();
}

void MainWindow::RunCommandLine(const std::string& commandLineText) {
    if (commandLineText.empty()) return;
    Run(Work::Conversion, [&] { cmdLine(ctx_, commandLineText); });
}

void MainWindow::Run(Work work, const std::function<void()>& handler) {
    if (working_) return;  // inputs are locked meanwhile; a stray event changes nothing
    working_ = true;
    work_ = work;
    Render();
    handler();
    working_ = false;
    busy_->Stop();
    Render();
    if (closeAfterWork_) QTimer::singleShot(0, this, &QWidget::close);
}

void MainWindow::Pumped() {
    if (closeAfterWork_) ctx_.runner.StopRunningTool();
    if (working_ && work_ != Work::Dialog)
        busy_->Start(Q(work_ == Work::Conversion ? msg::kBusyConverting : msg::kBusyReadingSource));
    Render();
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (centred_) return;
    centred_ = true;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // Only the window's free area: a double click on a control belongs to the control.
    if (!working_ && childAt(event->position().toPoint()) == nullptr) Form_DblClick(ctx_);
}

namespace {

// The local file of a drop that carries exactly one; empty otherwise.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl& url = data->urls().front();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!working_ && !DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (working_ || file.isEmpty()) return;
    event->acceptProposedAction();
    const std::string path = file.toStdString();
    Run(Work::Analysis, [&] { DropSource(ctx_, path); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!working_) {
        event->accept();
        return;
    }
    event->ignore();
    if (closeAfterWork_) return;
    const auto answer =
        QMessageBox::question(this, Q(msg::kWindowCaption), Q(msg::kStopConversionQuestion),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    closeAfterWork_ = true;
    host_.RequestStop();
    ctx_.runner.StopRunningTool();
}

}  // namespace kestrun::ui
