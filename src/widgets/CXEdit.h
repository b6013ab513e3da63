#pragma once
// The edit field opened over an editable cell. Enter and loss of focus end
// the edit, Escape cancels it; either way it reports exactly once.

#include <QLineEdit>

class CXEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CXEdit(QWidget* parent = nullptr);

    bool IsFinished() const { return m_finished; }

signals:
    // accepted is false for Escape.
    void finished(bool accepted);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void finish(bool accepted);

    bool m_finished = false;
};
