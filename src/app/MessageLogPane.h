#pragma once
// The log pane: a read-only text view that shows the message log in colours.
//
// LogText() and LogColored() may be called from any thread. An append made on
// the pane's own (UI) thread shows at once; one made elsewhere goes into a
// queue that the UI thread drains, so each append reaches the document as one
// unit (colour and text) and each thread's appends keep their order. The
// owner makes sure no worker appends once the pane is being destroyed.

#include "core/MessageLog.h"

#include <QString>
#include <QTextEdit>

#include <deque>
#include <mutex>
#include <string>
#include <utility>

class MessageLogPane : public QTextEdit, public MessageLog {
    Q_OBJECT

public:
    static constexpr Rgb kBackgroundColor = rgb(220, 220, 220);
    // Lines the pane keeps; older ones go from the top. A day on the line
    // would otherwise keep every relisting's lines in memory.
    static constexpr int kMaxLines = 2000;

    explicit MessageLogPane(QWidget* parent = nullptr);

    // Every whole line the pane shows from now on also goes to `log`
    // (null: none). The log must outlive the pane or be unset first.
    void setAuditLog(class AuditLog* log) { audit_ = log; }

protected:
    void append(Rgb color, std::string text) override;

private:
    struct PendingAppend {
        Rgb color;
        std::string text;
    };

    Q_INVOKABLE void drainPending();
    void insertAtEnd(Rgb color, const std::string& text);
    // Removes the oldest lines beyond kMaxLines; the characters removed.
    int dropOldestLines();
    void scrollToEnd();

    class AuditLog* audit_ = nullptr;
    QString auditPartial_; // the shown line not ended yet (UI thread)
    std::mutex pendingMutex_;
    std::deque<PendingAppend> pending_; // guarded by pendingMutex_
};
