#include "app/ui/qt_host.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QWidget>
#include <algorithm>

#include "app/ui/decoder_options_dialog.h"
#include "model/messages.h"

namespace kestrun::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QMessageBox::Icon IconOf(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

MsgResult Unanswered(MsgButtons buttons) {
    return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
}

}  // namespace

QString CaseInsensitivePattern(const std::string& pattern) {
    QString out;
    for (const QChar c : Q(pattern)) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QString("[%1%2]").arg(c.toLower()).arg(c.toUpper());
        else
            out += c;
    }
    return out;
}

QStringList NameFilters(const std::vector<FileFilter>& filters) {
    QStringList list;
    for (const auto& filter : filters) {
        QStringList patterns;
        for (const QString& p : Q(filter.pattern).split(';', Qt::SkipEmptyParts))
            patterns << CaseInsensitivePattern(p.trimmed().toStdString());
        list << Q(filter.name) + " (" + patterns.join(' ') + ")";
    }
    return list;
}

QtHost::QtHost(std::string decoderSettingsPath, UnattendedLog log)
    : decoderSettingsPath_(std::move(decoderSettingsPath)), log_(std::move(log)) {}

void QtHost::Attach(QWidget* window, std::function<void()> render, std::function<void()> pumped) {
    window_ = window;
    render_ = std::move(render);
    pumped_ = std::move(pumped);
}

MsgResult QtHost::MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                         MsgButtons buttons) {
    if (log_.active())
        log_.Write(buttons == MsgButtons::YesNo ? "question" : "message", title + ": " + text);
    if (log_.active() || stopRequested_) return Unanswered(buttons);
    const auto qtButtons =
        buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(IconOf(icon), Q(title), Q(text), qtButtons, window_);
    const int answer = box.exec();
    if (buttons == MsgButtons::Ok) return MsgResult::Ok;
    return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}

std::string QtHost::OpenFile(const OpenFileRequest& request) {
    if (log_.active()) log_.Write("open", request.title);
    if (log_.active() || stopRequested_) return {};
    const QStringList filters = NameFilters(request.filters);
    QString selected = filters.value(0);
    const QString path = QFileDialog::getOpenFileName(
        window_, Q(request.title), Q(request.initialFolder), filters.join(";;"), &selected,
        QFileDialog::HideNameFilterDetails);
    return path.toStdString();
}

std::string QtHost::BrowseForFolder(const std::string& title) {
    if (log_.active()) log_.Write("folder", title);
    if (log_.active() || stopRequested_) return {};
    QString folder = QFileDialog::getExistingDirectory(window_, Q(title), QDir::homePath());
    while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
    return folder.toStdString();
}

void QtHost::Repaint() {
    if (render_) render_();
    if (window_) window_->repaint();
}

void QtHost::DoEvents() {
    if (pumped_) pumped_();
    QCoreApplication::processEvents();
}

void QtHost::SetTopmost(bool on) {
    if (!window_ || window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
    const bool shown = window_->isVisible();
    const QPoint where = window_->pos();
    window_->setWindowFlag(Qt::WindowStaysOnTopHint, on);  // hides the window
    if (shown) {
        window_->move(where);
        window_->show();
    }
}

void QtHost::Sleep(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        DoEvents();
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(20, deadline.remainingTime())));
    }
}

void QtHost::ShowAc3FilterOptions() {
    if (log_.active()) log_.Write("dialog", std::string(msg::kDecoderOptionsTitle));
    if (log_.active() || stopRequested_) return;
    EditDecoderSettings(window_, decoderSettingsPath_);
}

}  // namespace kestrun::ui
