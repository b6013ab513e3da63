#pragma once
// The drop-down list opened under a choice cell. A click or Enter picks an
// entry; Escape, or a click outside, closes it without a pick. It reports
// exactly once, and hides itself before it does.

#include <QListWidget>

class CXCombo : public QListWidget {
    Q_OBJECT

public:
    // current: the entry shown as current, or -1 for none.
    CXCombo(const QStringList& strings, int current, int rowsShown, QWidget* parent);

    // Opens below the cell (above it when the screen ends first), at least as wide.
    void Popup(const QRect& globalCellRect);

    // Picks an entry as a click on it would.
    void Pick(int index);
    // Closes without a pick, as Escape does.
    void Cancel();

    int RowsShown() const { return m_rowsShown; }

signals:
    void picked(int index);
    void cancelled();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_rowsShown;
    bool m_done = false;
};
