#include "app/ContactList.h"

#include <QAbstractItemView>
#include <QStringList>

#include "core/CodePage.h"
#include "widgets/CXHeaderCtrl.h"

const QColor ContactList::kEmptyTextColor = QColor(0, 70, 220);
const QColor ContactList::kHeaderTextColor = QColor(0, 128, 255);
const QColor ContactList::kUncheckedRowColor = QColor(200, 200, 200);
const QColor ContactList::kCheckedRowColor = QColor(255, 255, 255);

namespace {
constexpr int kRowHeight = 25;
constexpr int kHeaderHeight = 25;
constexpr int kUnchecked = 1;
constexpr int kChecked = 2;
} // namespace

ContactList::ContactList(QWidget* parent)
    : CXListCtrl(parent)
{
    connect(this, &CXListCtrl::checkBoxClicked, this, &ContactList::OnCheckBoxClicked);
}

void ContactList::InitContactList()
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setShowGrid(true);
    SetEmptyText(fromCodePageLines(kEmptyText), kEmptyTextColor);
    AddColumn(ColumnNumber, QStringLiteral("Dev No."), Qt::AlignHCenter, 62);
    AddColumn(ColumnEnable, QStringLiteral("En"), Qt::AlignHCenter, 44, kUnchecked);
    AddColumn(ColumnStatus, QStringLiteral("Status"), Qt::AlignLeft, 166);
    SetHeaderTextColor(-1, kHeaderTextColor);
    SetRowHeight(kRowHeight);
    SetHeaderHeight(kHeaderHeight);
    GetHeaderCtrl()->viewport()->update();
}

void ContactList::AddContactRow()
{
    const int n = GetRowCount();
    setUpdatesEnabled(false);
    AddRow(n, QString::number(n + 1));
    SetCellAlignment(n, ColumnNumber, Qt::AlignHCenter);
    SetCellText(n, ColumnEnable, QString());
    SetCellCheck(n, ColumnEnable, kChecked);
    SetCellText(n, ColumnStatus, fromCodePage(contactStatusText));
    identities_.resize(std::size_t(n));
    identities_.push_back(contactIdentity);
    showIdentity(n);
    setUpdatesEnabled(true);
}

void ContactList::SetStatusText(int row, const std::string& text)
{
    SetCellText(row, ColumnStatus, fromCodePage(text));
}

std::string ContactList::StatusText(int row) const
{
    return toCodePage(GetCellText(row, ColumnStatus));
}

void ContactList::RemoveContactRows()
{
    RemoveAllRows();
    identities_.clear();
}

void ContactList::SetRowIdentification(int row, const std::string& identification)
{
    if (row < 0 || row >= GetRowCount() || std::size_t(row) >= identities_.size())
        return;
    identities_[std::size_t(row)].identification = identification;
    showIdentity(row);
}

QString ContactList::RowToolTip(int row) const
{
    if (row < 0 || std::size_t(row) >= identities_.size())
        return {};
    const WriterIdentityText& id = identities_[std::size_t(row)];
    // Writer texts are code-page bytes that may be anything: invalid
    // sequences become U+FFFD here.
    QStringList lines;
    if (!id.identification.empty())
        lines << QStringLiteral("Identification: ") + fromCodePage(id.identification);
    if (!id.firmwareVersion.empty())
        lines << QStringLiteral("Firmware: ") + fromCodePage(id.firmwareVersion);
    if (!id.location.empty())
        lines << QStringLiteral("USB: ") + QString::fromLatin1(id.location);
    return lines.join(QLatin1Char('\n'));
}

void ContactList::showIdentity(int row)
{
    // As escaped rich text: a writer's text that looks like markup is shown
    // as it is, never interpreted.
    QString text = RowToolTip(row);
    if (!text.isEmpty())
        text = QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
    for (int column = ColumnNumber; column <= ColumnStatus; ++column)
        SetCellToolTip(row, column, text);
}

bool ContactList::IsRowChecked(int row) const
{
    return GetCellCheck(row, ColumnEnable) == kChecked;
}

void ContactList::paintRow(int row, const QColor& background)
{
    for (int column = ColumnNumber; column <= ColumnStatus; ++column) {
        QColor text, unused;
        GetCellColors(row, column, text, unused);
        SetCellColors(row, column, text, background);
    }
}

void ContactList::OnCheckBoxClicked(int row, int column)
{
    if (column != ColumnEnable)
        return;
    if (row >= 0) {
        paintRow(row, IsRowChecked(row) ? kCheckedRowColor : kUncheckedRowColor);
        return;
    }
    // Header box: the rows still show their old states. If any is unchecked
    // they are all about to be checked, otherwise all unchecked.
    bool anyUnchecked = false;
    for (int r = 0; r < GetRowCount(); ++r)
        anyUnchecked |= !IsRowChecked(r);
    for (int r = 0; r < GetRowCount(); ++r)
        paintRow(r, anyUnchecked ? kCheckedRowColor : kUncheckedRowColor);
}
