#include "app/ui/busy_indicator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace kestrun::ui {

BusyIndicator::BusyIndicator(QWidget* parent)
    : QWidget(parent), label_(new QLabel(this)), bar_(new QProgressBar(this)) {
    setObjectName("busyIndicator");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette light = label_->palette();
    light.setColor(QPalette::WindowText, Qt::white);
    label_->setPalette(light);
    bar_->setRange(0, 0);  // no known end: the bar keeps moving
    bar_->setTextVisible(false);
    bar_->setFixedSize(56, 10);
    layout->addWidget(label_, 1);
    layout->addWidget(bar_);
    hide();
}

QString BusyIndicator::FormatElapsed(qint64 milliseconds) {
    const qint64 seconds = milliseconds / 1000;
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString tail = QString("%1").arg(s, 2, 10, QChar('0'));
    if (h > 0) return QString("%1:%2:%3").arg(h).arg(m, 2, 10, QChar('0')).arg(tail);
    return QString("%1:%2").arg(m).arg(tail);
}

void BusyIndicator::Start(const QString& caption) {
    if (running()) return;
    caption_ = caption;
    clock_.start();
    Tick();
    show();
    raise();
}

void BusyIndicator::Tick() {
    if (!running()) return;
    label_->setText(caption_ + "  " + FormatElapsed(clock_.elapsed()));
}

void BusyIndicator::Stop() {
    clock_.invalidate();
    hide();
}

QString BusyIndicator::text() const { return label_->text(); }

}  // namespace kestrun::ui
