#pragma once
// The updater's window: one line per file with its own progress bar, the
// overall progress, and what is happening or what failed.

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

class UpdaterWindow : public QWidget {
    Q_OBJECT
public:
    struct Line {
        QString name;
        QString version;
        QString state; // "waiting", "refused", ...
    };

    explicit UpdaterWindow(QWidget* parent = nullptr);

    void setLines(const QList<Line>& lines);
    // Bytes received of total (total <= 0: not known yet).
    void setLineProgress(int line, qint64 received, qint64 total);
    void setLineState(int line, const QString& state);
    void setOverall(int filesDone, int filesTotal, double currentShare);
    void setStatus(const QString& text);
    // Shows the failure and a Close button.
    void showFailure(const QString& text);

    QTableWidget* table() const { return table_; }
    QProgressBar* overall() const { return overall_; }
    QLabel* status() const { return status_; }

signals:
    // The user closed the window or pressed Close.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QTableWidget* table_;
    QProgressBar* overall_;
    QLabel* status_;
    QPushButton* close_;
};
