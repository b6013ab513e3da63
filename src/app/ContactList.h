#pragma once
// The writer list "Contact List of VREN Kesto": one row per writer found by
// the last relisting, with its number, its "En" check box and a status text.
// Row r always stands for device index r.

#include <string>
#include <vector>

#include "widgets/CXListCtrl.h"

class ContactList : public CXListCtrl {
    Q_OBJECT
public:
    enum Column { ColumnNumber = 0, ColumnEnable = 1, ColumnStatus = 2 };

    static constexpr const char* kEmptyText = "No USB Devices Connected\r\nMaximum Contact Devices are 10";
    static const QColor kEmptyTextColor;   // RGB(0, 70, 220)
    static const QColor kHeaderTextColor;  // RGB(0, 128, 255)
    static const QColor kUncheckedRowColor; // RGB(200, 200, 200)
    static const QColor kCheckedRowColor;   // white

    explicit ContactList(QWidget* parent = nullptr);

    // Columns, colours, heights and the empty-list text; once, at start-up.
    void InitContactList();

    // Appends the row for the next writer with `contactStatusText`, checked.
    void AddContactRow();

    // The status text the next row added shows (code-page bytes).
    std::string contactStatusText;

    // What is known about the writer of a row (texts as code-page bytes),
    // shown as the row's tooltip so that a person can find the device.
    struct WriterIdentityText {
        std::string firmwareVersion;
        std::string location;
        std::string identification;
    };
    // What the next row added knows of its writer.
    WriterIdentityText contactIdentity;
    // Every row removed, with what was known of its writer.
    void RemoveContactRows();
    // The identification an operation's common start read from a row's writer.
    void SetRowIdentification(int row, const std::string& identification);
    // What is known of a row's writer; null for no such row.
    const WriterIdentityText* RowIdentity(int row) const
    {
        return row >= 0 && std::size_t(row) < identities_.size() ? &identities_[std::size_t(row)] : nullptr;
    }
    // The row's tooltip text (empty when nothing is known).
    QString RowToolTip(int row) const;

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
    void showIdentity(int row);

    std::vector<WriterIdentityText> identities_; // one per row
};
