#pragma once
// The writer list "Contact List of VREN Kesto": one row per writer found by
// the last relisting, with its number, its "En" check box and a status text.
// Row r always stands for device index r.

#include <string>

#include "widgets/CXListCtrl.h"

class MessageLog;

class ContactList : public CXListCtrl {
    Q_OBJECT
public:
    enum Column { ColumnNumber = 0, ColumnEnable = 1, ColumnStatus = 2 };

    static constexpr const char* kEmptyText = "No USB Devices Connected\r\nMaximum Contact Devices are 10";
    static const QColor kEmptyTextColor;   // RGB(0, 70, 220)
    static const QColor kHeaderTextColor;  // RGB(0, 128, 255)
    static const QColor kUncheckedRowColor; // RGB(200, 200, 200)
    static const QColor kCheckedRowColor;   // white

    ContactList(MessageLog& log, QWidget* parent = nullptr);

    // Columns, colours, heights and the empty-list text; once, at start-up.
    void InitContactList();

    // Appends the row for the next writer with `contactStatusText`, checked,
    // and logs it.
    void AddContactRow();

    // The status text the next row added shows (code-page bytes).
    std::string contactStatusText;

    // Status cell of a writer's row; callable from any thread. Code-page bytes.
    void SetStatusText(int row, const std::string& text);
    std::string StatusText(int row) const;

    // Whether the writer of a row takes part in Config Save.
    bool IsRowChecked(int row) const;

    // A click on an "En" box: the row click arrives after its toggle, the
    // header click (row -1) before the rows change.
    void OnCheckBoxClicked(int row, int column);

private:
    void paintRow(int row, const QColor& background);

    MessageLog& log_;
};
