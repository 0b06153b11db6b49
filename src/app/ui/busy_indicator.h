#pragma once
// Shown while a conversion runs: what is going on, how long it has taken, and a moving bar.
#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace kestrun::ui {

class BusyIndicator : public QWidget {
public:
    explicit BusyIndicator(QWidget* parent);

    // Shows the caption and starts counting from now; a second call changes nothing.
    void Start(const QString& caption);
    // Brings the elapsed time up to date.
    void Tick();
    void Stop();
    bool running() const { return clock_.isValid(); }
    QString text() const;

    // "0:07", "12:30", "1:02:03".
    static QString FormatElapsed(qint64 milliseconds);

private:
    QLabel* label_;
    QProgressBar* bar_;
    QString caption_;
    QElapsedTimer clock_;
};

}  // namespace kestrun::ui
