#include "widgets/CXListCtrl.h"

#include "widgets/CXCellDelegate.h"
#include "widgets/CXCombo.h"
#include "widgets/CXEdit.h"
#include "widgets/CXHeaderCtrl.h"
#include "widgets/CXThemeHelper.h"

#include <QMouseEvent>
#include <QPainter>
#include <QThread>

#include <mutex>
#include <utility>
#include <vector>

// Texts posted from other threads wait here until the list's thread applies
// them. Posting never waits for the list's thread: a worker blocked on the UI
// thread deadlocks as soon as the UI thread waits for that worker.
struct CXListCtrl::TextPoster::Inbox {
    struct Pending {
        int row;
        int column;
        std::optional<QString> text;
        bool setColors;
        QColor textColor;
        QColor backgroundColor;
    };

    std::mutex mutex;
    CXListCtrl* owner = nullptr; // null once the list is gone
    QThread* listThread = nullptr;
    std::vector<Pending> queue;

    bool post(Pending pending)
    {
        CXListCtrl* local = nullptr;
        {
            std::lock_guard lock(mutex);
            if (!owner)
                return false;
            if (QThread::currentThread() == listThread) {
                local = owner;
            } else {
                const bool wake = queue.empty();
                queue.push_back(std::move(pending));
                // Under the lock: the list cannot be destroyed in between, and
                // an event still queued when it is destroyed goes with it.
                if (wake)
                    QMetaObject::invokeMethod(owner, "applyPostedTexts", Qt::QueuedConnection);
                return true;
            }
        }
        // On the list's own thread nothing can destroy the list meanwhile.
        return local->applyCellText(pending.row, pending.column, pending.text, pending.setColors,
                                    pending.textColor, pending.backgroundColor);
    }

    std::vector<Pending> take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(queue, {});
    }
};

namespace {

constexpr Qt::Alignment kHorizontal = Qt::AlignLeft | Qt::AlignHCenter | Qt::AlignRight;

bool validCheckState(int state)
{
    return state >= 0 && state <= 2;
}

} // namespace

bool CXListCtrl::TextPoster::SetCellText(int row, int column, const QString& text) const
{
    return m_inbox && m_inbox->post({row, column, text, false, {}, {}});
}

bool CXListCtrl::TextPoster::SetCellText(int row, int column, const std::optional<QString>& text,
                                         const QColor& textColor, const QColor& backgroundColor) const
{
    return m_inbox && m_inbox->post({row, column, text, true, textColor, backgroundColor});
}

CXListCtrl::CXListCtrl(QWidget* parent)
    : QTableView(parent)
    , m_model(new CXListModel(this))
    , m_header(new CXHeaderCtrl(this))
    , m_inbox(std::make_shared<TextPoster::Inbox>())
{
    m_inbox->owner = this;
    m_inbox->listThread = thread();

    setHorizontalHeader(m_header);
    setModel(m_model);
    setItemDelegate(new CXCellDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Report-list rows: a line of text with room for a check box or drop-down,
    // rather than the style's roomy default.
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setShowGrid(true);

    connect(m_header, &CXHeaderCtrl::checkBoxClicked, this, &CXListCtrl::ClickHeaderCheckBox);
}

CXListCtrl::~CXListCtrl()
{
    // An open field or drop-down must not report to a list being torn down.
    CloseInPlaceControls();
    std::lock_guard lock(m_inbox->mutex);
    m_inbox->owner = nullptr;
    m_inbox->queue.clear();
}

int CXListCtrl::GetRowCount() const
{
    return m_model->rowCount();
}

int CXListCtrl::GetColumnCount() const
{
    return m_model->columnCount();
}

// ------------------------------------------------------------------ structure

int CXListCtrl::AddColumn(int position, const QString& headerText, Qt::Alignment format, int width,
                          int headerCheck)
{
    if (!validCheckState(headerCheck))
        return -1;
    CXListColumn column;
    column.title = headerText;
    column.format = (format & kHorizontal) ? (format & kHorizontal) : Qt::AlignLeft;
    column.headerCheck = headerCheck;
    const int index = m_model->insertColumnAt(position, column);
    if (index >= 0 && width >= 0)
        setColumnWidth(index, width);
    return index;
}

bool CXListCtrl::RemoveColumn(int column)
{
    if (!m_model->hasColumn(column))
        return false;
    CloseInPlaceControls();
    m_pressed = {};
    return m_model->removeColumnAt(column);
}

int CXListCtrl::AddRow(int position, const QString& text)
{
    return m_model->insertRowAt(position, text);
}

void CXListCtrl::RemoveAllRows()
{
    CloseInPlaceControls();
    m_pressed = {};
    m_model->removeAllRows();
    viewport()->update(); // the empty-list text appears
}

// ---------------------------------------------------------------------- cells

QString CXListCtrl::GetCellText(int row, int column) const
{
    const CXListCell* cell = m_model->cell(row, column);
    return cell ? cell->text : QString();
}

bool CXListCtrl::onListThread() const
{
    return QThread::currentThread() == m_inbox->listThread;
}

bool CXListCtrl::SetCellText(int row, int column, const QString& text)
{
    if (!onListThread())
        return GetTextPoster().SetCellText(row, column, text);
    return applyCellText(row, column, text, false, {}, {});
}

bool CXListCtrl::SetCellText(int row, int column, const std::optional<QString>& text, const QColor& textColor,
                             const QColor& backgroundColor)
{
    if (!onListThread())
        return GetTextPoster().SetCellText(row, column, text, textColor, backgroundColor);
    return applyCellText(row, column, text, true, textColor, backgroundColor);
}

bool CXListCtrl::applyCellText(int row, int column, const std::optional<QString>& text, bool setColors,
                               const QColor& textColor, const QColor& backgroundColor)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell)
        return false;
    if (text)
        cell->text = *text;
    if (setColors) {
        cell->textColor = textColor;
        cell->backgroundColor = backgroundColor;
    }
    m_model->cellChanged(row, column);
    return true;
}

void CXListCtrl::applyPostedTexts()
{
    for (const TextPoster::Inbox::Pending& p : m_inbox->take())
        applyCellText(p.row, p.column, p.text, p.setColors, p.textColor, p.backgroundColor);
}

CXListCtrl::TextPoster CXListCtrl::GetTextPoster() const
{
    return TextPoster(m_inbox);
}

bool CXListCtrl::GetCellColors(int row, int column, QColor& textColor, QColor& backgroundColor) const
{
    const CXListCell* cell = m_model->cell(row, column);
    if (!cell)
        return false;
    textColor = cell->textColor.isValid() ? cell->textColor : GetDefaultTextColor();
    backgroundColor = cell->backgroundColor.isValid() ? cell->backgroundColor : GetDefaultBackgroundColor();
    return true;
}

bool CXListCtrl::SetCellColors(int row, int column, const QColor& textColor, const QColor& backgroundColor)
{
    if (column == -1) {
        if (!m_model->hasRow(row))
            return false;
        for (int c = 0; c < GetColumnCount(); ++c) {
            CXListCell* cell = m_model->cell(row, c);
            cell->textColor = textColor;
            cell->backgroundColor = backgroundColor;
        }
        m_model->rowChanged(row);
        return true;
    }
    CXListCell* cell = m_model->cell(row, column);
    if (!cell)
        return false;
    cell->textColor = textColor;
    cell->backgroundColor = backgroundColor;
    m_model->cellChanged(row, column);
    return true;
}

bool CXListCtrl::SetCellAlignment(int row, int column, Qt::Alignment alignment)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell)
        return false;
    cell->alignment = alignment & kHorizontal;
    m_model->cellChanged(row, column);
    return true;
}

Qt::Alignment CXListCtrl::horizontalAlignment(int row, int column) const
{
    const CXListCell* cell = m_model->cell(row, column);
    if (cell && cell->alignment)
        return cell->alignment;
    const CXListColumn* col = m_model->column(column);
    return col ? col->format : Qt::AlignLeft;
}

bool CXListCtrl::SetCellCheck(int row, int column, int state)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell || !validCheckState(state))
        return false;
    cell->check = state;
    m_model->cellChanged(row, column);
    syncHeaderCheck(column);
    return true;
}

int CXListCtrl::GetCellCheck(int row, int column) const
{
    const CXListCell* cell = m_model->cell(row, column);
    return cell ? cell->check : 0;
}

void CXListCtrl::syncHeaderCheck(int column)
{
    // Only rows that have a box count: the header shows checked exactly when a
    // header click would uncheck them, which is what a parent infers from the rows.
    if (GetHeaderCheck(column) == 0)
        return;
    bool anyBox = false;
    bool allChecked = true;
    for (int row = 0; row < GetRowCount(); ++row) {
        const int state = GetCellCheck(row, column);
        if (state == 0)
            continue;
        anyBox = true;
        allChecked = allChecked && state == 2;
    }
    SetHeaderCheck(column, anyBox && allChecked ? 2 : 1);
}

bool CXListCtrl::SetCellEditable(int row, int column, bool editable)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell)
        return false;
    cell->editable = editable;
    return true;
}

bool CXListCtrl::SetCellChoices(int row, int column, bool on, QStringList choices, int rowsShown,
                                int initialChoice, bool sort)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell)
        return false;
    if (!on) {
        cell->choice = {};
        m_model->cellChanged(row, column);
        return true;
    }
    if (sort)
        choices.sort();
    const bool inRange = initialChoice >= 0 && initialChoice < choices.size();
    cell->choice.on = true;
    cell->choice.strings = choices;
    cell->choice.rowsShown = rowsShown > 0 ? rowsShown : CXChoiceList{}.rowsShown;
    cell->choice.initialChoice = inRange ? initialChoice : -1;
    cell->choice.sort = sort;
    cell->text = inRange ? choices[initialChoice] : choices.value(0);
    m_model->cellChanged(row, column);
    return true;
}

QStringList CXListCtrl::GetCellChoices(int row, int column) const
{
    const CXListCell* cell = m_model->cell(row, column);
    return cell && cell->choice.on ? cell->choice.strings : QStringList();
}

bool CXListCtrl::SetCellEnabled(int row, int column, bool enabled)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell)
        return false;
    cell->enabled = enabled;
    m_model->cellChanged(row, column);
    return true;
}

bool CXListCtrl::SetCellToolTip(int row, int column, const QString& text)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell)
        return false;
    cell->toolTip = text;
    return true;
}

QString CXListCtrl::GetCellToolTip(int row, int column) const
{
    const CXListCell* cell = m_model->cell(row, column);
    return cell ? cell->toolTip : QString();
}

bool CXListCtrl::GetCellEnabled(int row, int column) const
{
    const CXListCell* cell = m_model->cell(row, column);
    return cell && cell->enabled;
}

bool CXListCtrl::GetCellModified(int row, int column) const
{
    const CXListCell* cell = m_model->cell(row, column);
    return cell && cell->modified;
}

bool CXListCtrl::SetCellModified(int row, int column, bool modified)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell)
        return false;
    cell->modified = modified;
    return true;
}

bool CXListCtrl::SetRowData(int row, const QVariant& value)
{
    return m_model->setRowData(row, value);
}

QVariant CXListCtrl::GetRowData(int row) const
{
    return m_model->rowData(row);
}

// ----------------------------------------------------------- list-wide values

// The colours of an enabled list, whatever state the list is in now: callers
// store them into cells, and a row painted while the list was disabled must
// not keep the disabled grey once the list is enabled again.
QColor CXListCtrl::GetDefaultTextColor() const
{
    return palette().color(QPalette::Active, QPalette::Text);
}

QColor CXListCtrl::GetDefaultBackgroundColor() const
{
    return palette().color(QPalette::Active, QPalette::Base);
}

bool CXListCtrl::SetHeaderTextColor(int column, const QColor& color)
{
    if (column != -1)
        return false;
    m_header->SetTextColor(color);
    return true;
}

QColor CXListCtrl::GetHeaderTextColor() const
{
    return m_header->GetTextColor();
}

int CXListCtrl::GetHeaderCheck(int column) const
{
    return m_header->GetCheck(column);
}

bool CXListCtrl::SetHeaderCheck(int column, int state)
{
    return m_header->SetCheck(column, state);
}

void CXListCtrl::SetEmptyText(const QString& text, const QColor& color)
{
    m_emptyText = text;
    m_emptyText.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_emptyText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_emptyTextColor = color;
    viewport()->update();
}

bool CXListCtrl::SetHeaderHeight(int height)
{
    if (height <= 0)
        return false;
    m_header->SetHeight(height);
    updateGeometries(); // moves the viewport now, not at the next layout pass
    m_header->viewport()->update();
    return true;
}

bool CXListCtrl::SetRowHeight(int height)
{
    if (height <= 0)
        return false;
    QHeaderView* rows = verticalHeader();
    rows->setMinimumSectionSize(std::min(height, rows->minimumSectionSize()));
    rows->setDefaultSectionSize(height); // also resizes the rows already there
    updateEditorGeometries();
    viewport()->update();
    return true;
}

void CXListCtrl::SetEndLabelEditHandler(EndLabelEditHandler handler)
{
    m_endLabelEdit = std::move(handler);
}

// -------------------------------------------------------------- user actions

bool CXListCtrl::ClickCellCheckBox(int row, int column)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell || cell->check == 0 || !cell->enabled)
        return false;
    cell->check = cell->check == 1 ? 2 : 1;
    cell->modified = true;
    m_model->cellChanged(row, column);
    syncHeaderCheck(column);
    emit checkBoxClicked(row, column);
    return true;
}

bool CXListCtrl::ClickHeaderCheckBox(int column)
{
    const int old = GetHeaderCheck(column);
    if (old == 0)
        return false;
    emit checkBoxClicked(-1, column);
    // The parent may have rebuilt the list while it was told.
    if (GetHeaderCheck(column) == 0)
        return true;
    const int state = old == 1 ? 2 : 1;
    SetHeaderCheck(column, state);
    for (int row = 0; row < GetRowCount(); ++row) {
        CXListCell* cell = m_model->cell(row, column);
        if (cell->check != 0) {
            cell->check = state;
            cell->modified = true;
        }
    }
    m_model->columnChanged(column);
    return true;
}

bool CXListCtrl::OpenChoice(int row, int column)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell || !cell->choice.on || !cell->enabled)
        return false;
    CloseInPlaceControls();

    const QStringList& strings = cell->choice.strings;
    int current = strings.indexOf(cell->text);
    if (cell->choice.initialChoice >= 0 && cell->choice.initialChoice < strings.size())
        current = cell->choice.initialChoice;
    else if (cell->text.isEmpty() && !strings.isEmpty())
        current = 0;
    cell->choice.initialChoice = -1;

    auto* combo = new CXCombo(strings, current, cell->choice.rowsShown, this);
    m_combo = combo;
    m_comboCell = m_model->index(row, column);
    connect(combo, &CXCombo::picked, this, [this, combo](int index) {
        const QPersistentModelIndex cellIndex = m_comboCell;
        combo->deleteLater();
        m_combo = nullptr;
        m_comboCell = QPersistentModelIndex();
        if (cellIndex.isValid())
            PickChoice(cellIndex.row(), cellIndex.column(), index);
    });
    connect(combo, &CXCombo::cancelled, this, [this, combo] {
        combo->deleteLater();
        if (m_combo == combo) {
            m_combo = nullptr;
            m_comboCell = QPersistentModelIndex();
        }
    });
    const QRect cellRect = visualRect(m_comboCell);
    combo->Popup(QRect(viewport()->mapToGlobal(cellRect.topLeft()), cellRect.size()));
    return true;
}

bool CXListCtrl::PickChoice(int row, int column, int index)
{
    CXListCell* cell = m_model->cell(row, column);
    if (!cell || !cell->choice.on || !cell->enabled || index < 0 || index >= cell->choice.strings.size())
        return false;
    const QString& picked = cell->choice.strings[index];
    if (cell->text != picked) {
        cell->text = picked;
        cell->modified = true;
    }
    m_model->cellChanged(row, column);
    emit comboSelection(row, column);
    return true;
}

bool CXListCtrl::OpenEditor(int row, int column)
{
    const CXListCell* cell = m_model->cell(row, column);
    if (!cell || !cell->editable || !cell->enabled)
        return false;
    CloseInPlaceControls();

    auto* editor = new CXEdit(viewport());
    m_editor = editor;
    m_editCell = m_model->index(row, column);
    editor->setText(cell->text);
    editor->setAlignment(horizontalAlignment(row, column) | Qt::AlignVCenter);
    editor->setGeometry(visualRect(m_editCell));
    connect(editor, &CXEdit::finished, this, [this, editor](bool accepted) {
        if (m_editor == editor)
            EndEdit(accepted);
    });
    editor->show();
    editor->setFocus(Qt::MouseFocusReason);
    editor->selectAll();
    return true;
}

void CXListCtrl::EndEdit(bool accept)
{
    if (!m_editor)
        return;
    // Detach first: the handler may show a message box, which takes the focus
    // from the field and must not end the edit a second time.
    CXEdit* editor = m_editor;
    m_editor = nullptr;
    const QPersistentModelIndex cellIndex = std::exchange(m_editCell, QPersistentModelIndex());
    const QString text = editor->text();
    const bool hadFocus = editor->hasFocus();
    editor->disconnect(this);
    editor->hide();
    editor->deleteLater();
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);

    if (!cellIndex.isValid())
        return;
    if (!accept) {
        if (m_endLabelEdit)
            m_endLabelEdit(cellIndex.row(), cellIndex.column(), nullptr);
        return;
    }
    const bool accepted = !m_endLabelEdit || m_endLabelEdit(cellIndex.row(), cellIndex.column(), &text);
    if (!cellIndex.isValid()) // the handler removed the row or column
        return;
    const int row = cellIndex.row();
    const int column = cellIndex.column();
    if (accepted) {
        CXListCell* cell = m_model->cell(row, column);
        if (cell->text != text) {
            cell->text = text;
            cell->modified = true;
            m_model->cellChanged(row, column);
        }
    }
    emit editEnd(row, column);
}

void CXListCtrl::CloseInPlaceControls()
{
    if (CXEdit* editor = std::exchange(m_editor, nullptr)) {
        editor->disconnect(this);
        if (editor->hasFocus())
            setFocus(Qt::OtherFocusReason);
        editor->hide();
        editor->deleteLater();
    }
    m_editCell = QPersistentModelIndex();
    if (CXCombo* combo = std::exchange(m_combo, nullptr)) {
        combo->disconnect(this);
        combo->hide();
        combo->deleteLater();
    }
    m_comboCell = QPersistentModelIndex();
}

CXCombo* CXListCtrl::GetOpenChoice() const
{
    return m_combo;
}

CXEdit* CXListCtrl::GetOpenEditor() const
{
    return m_editor;
}

// ---------------------------------------------------------- geometry, input

QRect CXListCtrl::checkBoxRectIn(const QRect& cellRect, int row, int column) const
{
    const CXListCell* cell = m_model->cell(row, column);
    if (!cell || cell->check == 0)
        return {};
    // A box beside text sits at the left; a box alone is placed as the text would be.
    const Qt::Alignment align = cell->text.isEmpty() ? horizontalAlignment(row, column) : Qt::AlignLeft;
    return CXThemeHelper::PlaceCheckBox(cellRect, CXThemeHelper::CheckBoxSize(this), align,
                                        CXCellDelegate::Margin);
}

QRect CXListCtrl::CheckBoxRect(int row, int column) const
{
    if (!m_model->cell(row, column))
        return {};
    return checkBoxRectIn(visualRect(m_model->index(row, column)), row, column);
}

CXListCtrl::Hit CXListCtrl::hitTest(const QPoint& viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    const CXListCell* cell = index.isValid() ? m_model->cell(index.row(), index.column()) : nullptr;
    if (!cell || !cell->enabled)
        return {};
    Hit hit{index.row(), index.column(), CellPart::None};
    if (cell->check != 0 && checkBoxRectIn(visualRect(index), hit.row, hit.column).contains(viewportPos))
        hit.part = CellPart::CheckBox;
    else if (cell->choice.on)
        hit.part = CellPart::Choice;
    else if (cell->editable)
        hit.part = CellPart::Edit;
    return hit;
}

bool CXListCtrl::isPressedCheckBox(int row, int column) const
{
    return m_pressed.part == CellPart::CheckBox && m_pressed.row == row && m_pressed.column == column;
}

void CXListCtrl::pressAt(const QPoint& viewportPos)
{
    m_pressed = hitTest(viewportPos);
    if (m_pressed.part == CellPart::CheckBox)
        m_model->cellChanged(m_pressed.row, m_pressed.column);
}

void CXListCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        pressAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
}

void CXListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a quick double click arrives as a double click; it
    // still counts as a press, so two quick clicks toggle a box twice.
    if (event->button() == Qt::LeftButton)
        pressAt(event->position().toPoint());
    QTableView::mouseDoubleClickEvent(event);
}

void CXListCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const Hit pressed = std::exchange(m_pressed, {});
    if (pressed.part == CellPart::CheckBox)
        m_model->cellChanged(pressed.row, pressed.column);
    if (pressed.part == CellPart::None || !(hitTest(event->position().toPoint()) == pressed))
        return;
    switch (pressed.part) {
    case CellPart::CheckBox:
        ClickCellCheckBox(pressed.row, pressed.column);
        break;
    case CellPart::Choice:
        OpenChoice(pressed.row, pressed.column);
        break;
    case CellPart::Edit:
        OpenEditor(pressed.row, pressed.column);
        break;
    case CellPart::None:
        break;
    }
}

void CXListCtrl::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (GetRowCount() > 0 || m_emptyText.isEmpty())
        return;
    constexpr int kTopGap = 8;
    constexpr int kSideGap = 4;
    QPainter painter(viewport());
    painter.setPen(m_emptyTextColor.isValid() ? m_emptyTextColor : GetDefaultTextColor());
    const QRect area = viewport()->rect().adjusted(kSideGap, kTopGap, -kSideGap, 0);
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_emptyText);
}

void CXListCtrl::updateEditorGeometries()
{
    QTableView::updateEditorGeometries();
    if (m_editor && m_editCell.isValid())
        m_editor->setGeometry(visualRect(m_editCell));
}

int CXListCtrl::ChoiceColumnWidth(const QStringList& choices) const
{
    int widest = 0;
    for (const QString& choice : choices)
        widest = qMax(widest, fontMetrics().horizontalAdvance(choice));
    return widest + CXCellDelegate::ChoiceChrome;
}
