#pragma once
// The grid list: a report-style list whose cells carry their own colours and
// alignment, and optionally a check box, a drop-down choice list or an
// in-place edit field. A column header can carry a check box that sets the
// whole column.
//
// Rows and columns count from 0. An operation on a row or column that does
// not exist does nothing and returns false (or 0, or an empty text).
// Everything runs on the list's own (UI) thread, except SetCellText, which may
// be called from any thread (see there).
//
// Texts are QString: callers holding code-page bytes convert them at their
// boundary. A row can keep a value of its own (SetRowData), e.g. the original
// bytes of a file name that must survive a round trip through the display.

#include "widgets/CXListModel.h"

#include <QColor>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

#include <functional>
#include <memory>
#include <optional>

class CXCombo;
class CXEdit;
class CXHeaderCtrl;

class CXListCtrl : public QTableView {
    Q_OBJECT

public:
    // The registered window messages of the original design, one per signal
    // below; the names are the signals' documented identity (logs, bindings).
    static constexpr const char* CheckboxClickedMessage = "WM_XLISTCTRL_CHECKBOX_CLICKED";
    static constexpr const char* ComboSelectionMessage = "WM_XLISTCTRL_COMBO_SELECTION";
    static constexpr const char* EditEndMessage = "WM_XLISTCTRL_EDIT_END";

    // Asked when an in-place edit ends, before editEnd: text is the new text,
    // or nullptr when the edit was cancelled with Escape (the answer is then
    // ignored). Returning true accepts the text into the cell; false keeps the
    // old text. Without a handler every ended edit is accepted.
    using EndLabelEditHandler = std::function<bool(int row, int column, const QString* text)>;

    // Hands texts to the list from any thread; cheap to copy. Calls from one
    // thread reach the list in their order. Once the list is gone the calls
    // return false and do nothing, so a worker may keep one safely.
    class TextPoster {
    public:
        TextPoster() = default;
        bool SetCellText(int row, int column, const QString& text) const;
        bool SetCellText(int row, int column, const std::optional<QString>& text, const QColor& textColor,
                         const QColor& backgroundColor) const;

    private:
        friend class CXListCtrl;
        struct Inbox;
        explicit TextPoster(std::shared_ptr<Inbox> inbox)
            : m_inbox(std::move(inbox))
        {
        }
        std::shared_ptr<Inbox> m_inbox;
    };

    explicit CXListCtrl(QWidget* parent = nullptr);
    ~CXListCtrl() override;

    CXHeaderCtrl* GetHeaderCtrl() const { return m_header; }
    int GetRowCount() const;
    int GetColumnCount() const;

    // --- structure
    // format: Qt::AlignLeft, Qt::AlignHCenter or Qt::AlignRight. headerCheck 1
    // or 2 gives the header a check box. A position past the end appends.
    // Returns the new column's index, or -1.
    int AddColumn(int position, const QString& headerText, Qt::Alignment format, int width,
                  int headerCheck = 0);
    bool RemoveColumn(int column);
    // A row whose cells have the defaults. A position past the end appends.
    // Returns the new row's index, or -1.
    int AddRow(int position, const QString& text);
    void RemoveAllRows();

    // --- cells
    QString GetCellText(int row, int column) const;
    // Callable from any thread. On the list's thread it takes effect at once;
    // from another thread it is queued without waiting and applied on the
    // list's thread, and then returns true when queued (a row or column that
    // is missing by then is ignored).
    bool SetCellText(int row, int column, const QString& text);
    // Sets the text (unless nullopt) and both colours; an invalid QColor means
    // the list's default colour. Callable from any thread like the above.
    bool SetCellText(int row, int column, const std::optional<QString>& text, const QColor& textColor,
                     const QColor& backgroundColor);
    // The colours the cell is drawn in (defaults resolved).
    bool GetCellColors(int row, int column, QColor& textColor, QColor& backgroundColor) const;
    // column -1: every cell of the row. An invalid QColor means the list's default.
    bool SetCellColors(int row, int column, const QColor& textColor, const QColor& backgroundColor);
    // Qt::AlignLeft, Qt::AlignHCenter or Qt::AlignRight; an empty alignment
    // means "as the column's format".
    bool SetCellAlignment(int row, int column, Qt::Alignment alignment);
    // 0 removes the box; 1 unchecked, 2 checked. A header box of the column
    // then follows the rows.
    bool SetCellCheck(int row, int column, int state);
    int GetCellCheck(int row, int column) const;
    bool SetCellEditable(int row, int column, bool editable = true);
    // on: the cell becomes a choice cell; with sort the strings are sorted
    // first. Its text becomes the string at initialChoice, or the first string
    // when that index is out of range. off: the cell stops being a choice cell.
    bool SetCellChoices(int row, int column, bool on, QStringList choices = {}, int rowsShown = 10,
                        int initialChoice = -1, bool sort = false);
    QStringList GetCellChoices(int row, int column) const;
    // A disabled cell ignores clicks and is drawn disabled.
    bool SetCellEnabled(int row, int column, bool enabled);
    bool GetCellEnabled(int row, int column) const;
    bool GetCellModified(int row, int column) const;
    bool SetCellModified(int row, int column, bool modified);
    // Shown when the pointer rests on the cell; empty for none.
    bool SetCellToolTip(int row, int column, const QString& text);
    QString GetCellToolTip(int row, int column) const;
    bool SetRowData(int row, const QVariant& value);
    QVariant GetRowData(int row) const;

    // --- list-wide values
    QColor GetDefaultTextColor() const;
    QColor GetDefaultBackgroundColor() const;
    // The header has one text colour: column must be -1 (all columns).
    bool SetHeaderTextColor(int column, const QColor& color);
    QColor GetHeaderTextColor() const;
    int GetHeaderCheck(int column) const;
    bool SetHeaderCheck(int column, int state);
    // Shown while the list has no rows: centred, word-wrapped, a line break
    // ("\n", "\r\n") starting a new line, a little below the header.
    void SetEmptyText(const QString& text, const QColor& color);
    QString GetEmptyText() const { return m_emptyText; }
    // The width a column needs to show each of these choices in full.
    int ChoiceColumnWidth(const QStringList& choices) const;
    // Both take effect at once.
    bool SetHeaderHeight(int height);
    bool SetRowHeight(int height);

    void SetEndLabelEditHandler(EndLabelEditHandler handler);
    TextPoster GetTextPoster() const;

    // --- the user's actions, as the mouse and keyboard handlers perform them
    // A click on a cell's check box: toggles it (1 -> 2, else -> 1), marks the
    // cell modified, lets the column's header box follow, then checkBoxClicked.
    bool ClickCellCheckBox(int row, int column);
    // A click on a header check box: checkBoxClicked(-1, column) while the rows
    // still hold their old states, then the header toggles and every row with
    // a box in the column takes the header's new state.
    bool ClickHeaderCheckBox(int column);
    // Opens the drop-down of an enabled choice cell.
    bool OpenChoice(int row, int column);
    // Picking an entry: sets the text, marks the cell modified when the text
    // changed, then comboSelection (also when the same entry was picked).
    bool PickChoice(int row, int column, int index);
    // Opens the edit field over an enabled editable cell.
    bool OpenEditor(int row, int column);
    // Ends the open edit as Enter (accept) or Escape (cancel) does.
    void EndEdit(bool accept);
    // Closes an open drop-down or edit field without any notification.
    void CloseInPlaceControls();

    CXCombo* GetOpenChoice() const;
    CXEdit* GetOpenEditor() const;
    // A cell's check box in viewport coordinates; empty without a box.
    QRect CheckBoxRect(int row, int column) const;

signals:
    // "WM_XLISTCTRL_CHECKBOX_CLICKED": a cell's box was toggled by a click
    // (after the toggle), or a header box was clicked (row -1, before the rows change).
    void checkBoxClicked(int row, int column);
    // "WM_XLISTCTRL_COMBO_SELECTION": an entry was picked in a choice cell's
    // drop-down (after the text was set).
    void comboSelection(int row, int column);
    // "WM_XLISTCTRL_EDIT_END": an in-place edit ended by Enter or loss of focus
    // (after the end-label-edit handler was asked).
    void editEnd(int row, int column);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void updateEditorGeometries() override;

private:
    friend class CXCellDelegate;

    enum class CellPart { None, CheckBox, Choice, Edit };
    struct Hit {
        int row = -1;
        int column = -1;
        CellPart part = CellPart::None;
        bool operator==(const Hit&) const = default;
    };

    Hit hitTest(const QPoint& viewportPos) const;
    void pressAt(const QPoint& viewportPos);
    bool isPressedCheckBox(int row, int column) const;
    Qt::Alignment horizontalAlignment(int row, int column) const;
    QRect checkBoxRectIn(const QRect& cellRect, int row, int column) const;
    void syncHeaderCheck(int column);
    bool applyCellText(int row, int column, const std::optional<QString>& text, bool setColors,
                       const QColor& textColor, const QColor& backgroundColor);
    bool onListThread() const;
    Q_INVOKABLE void applyPostedTexts();

    CXListModel* m_model;
    CXHeaderCtrl* m_header;
    std::shared_ptr<TextPoster::Inbox> m_inbox;

    QString m_emptyText;
    QColor m_emptyTextColor;
    EndLabelEditHandler m_endLabelEdit;

    Hit m_pressed;
    QPointer<CXCombo> m_combo;
    QPersistentModelIndex m_comboCell;
    QPointer<CXEdit> m_editor;
    QPersistentModelIndex m_editCell;
};
