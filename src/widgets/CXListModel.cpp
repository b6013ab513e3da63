#include "widgets/CXListModel.h"

#include <algorithm>

int CXListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CXListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant CXListModel::data(const QModelIndex& index, int role) const
{
    const CXListCell* c = index.isValid() ? cell(index.row(), index.column()) : nullptr;
    if (!c)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return c->text;
    case Qt::ForegroundRole:
        return c->textColor.isValid() ? QVariant(c->textColor) : QVariant();
    case Qt::BackgroundRole:
        return c->backgroundColor.isValid() ? QVariant(c->backgroundColor) : QVariant();
    case Qt::TextAlignmentRole: {
        const Qt::Alignment h = c->alignment ? c->alignment : m_columns[size_t(index.column())].format;
        return QVariant::fromValue(Qt::Alignment(h | Qt::AlignVCenter));
    }
    case Qt::ToolTipRole:
        return c->toolTip.isEmpty() ? QVariant() : QVariant(c->toolTip);
    case Qt::CheckStateRole:
        // Read-only view of the box for accessibility; clicks are the list's own business.
        if (c->check == 0)
            return {};
        return c->check == 2 ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

QVariant CXListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || !hasColumn(section))
        return {};
    const CXListColumn& col = m_columns[size_t(section)];
    switch (role) {
    case Qt::DisplayRole:
        return col.title;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(col.format | Qt::AlignVCenter));
    case HeaderCheckRole:
        return col.headerCheck;
    default:
        return {};
    }
}

bool CXListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    if (orientation != Qt::Horizontal || !hasColumn(section) || role != HeaderCheckRole)
        return false;
    const int state = value.toInt();
    if (state < 0 || state > 2)
        return false;
    m_columns[size_t(section)].headerCheck = state;
    headerChanged(section);
    return true;
}

Qt::ItemFlags CXListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

CXListCell* CXListModel::cell(int row, int column)
{
    if (!hasRow(row) || !hasColumn(column))
        return nullptr;
    return &m_rows[size_t(row)].cells[size_t(column)];
}

const CXListCell* CXListModel::cell(int row, int column) const
{
    if (!hasRow(row) || !hasColumn(column))
        return nullptr;
    return &m_rows[size_t(row)].cells[size_t(column)];
}

CXListColumn* CXListModel::column(int column)
{
    return hasColumn(column) ? &m_columns[size_t(column)] : nullptr;
}

const CXListColumn* CXListModel::column(int column) const
{
    return hasColumn(column) ? &m_columns[size_t(column)] : nullptr;
}

int CXListModel::insertColumnAt(int position, const CXListColumn& column)
{
    if (position < 0)
        return -1;
    position = std::min(position, int(m_columns.size()));
    beginInsertColumns({}, position, position);
    m_columns.insert(m_columns.begin() + position, column);
    for (Row& row : m_rows)
        row.cells.insert(row.cells.begin() + position, CXListCell{});
    endInsertColumns();
    return position;
}

bool CXListModel::removeColumnAt(int column)
{
    if (!hasColumn(column))
        return false;
    beginRemoveColumns({}, column, column);
    m_columns.erase(m_columns.begin() + column);
    for (Row& row : m_rows)
        row.cells.erase(row.cells.begin() + column);
    endRemoveColumns();
    return true;
}

int CXListModel::insertRowAt(int position, const QString& firstText)
{
    if (position < 0)
        return -1;
    position = std::min(position, int(m_rows.size()));
    Row row;
    row.cells.resize(m_columns.size());
    if (!row.cells.empty())
        row.cells.front().text = firstText;
    beginInsertRows({}, position, position);
    m_rows.insert(m_rows.begin() + position, std::move(row));
    endInsertRows();
    return position;
}

void CXListModel::removeAllRows()
{
    if (m_rows.empty())
        return;
    beginRemoveRows({}, 0, int(m_rows.size()) - 1);
    m_rows.clear();
    endRemoveRows();
}

QVariant CXListModel::rowData(int row) const
{
    return hasRow(row) ? m_rows[size_t(row)].data : QVariant();
}

bool CXListModel::setRowData(int row, const QVariant& value)
{
    if (!hasRow(row))
        return false;
    m_rows[size_t(row)].data = value;
    return true;
}

void CXListModel::cellChanged(int row, int column)
{
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
}

void CXListModel::rowChanged(int row)
{
    if (hasRow(row) && !m_columns.empty())
        emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
}

void CXListModel::columnChanged(int column)
{
    if (hasColumn(column) && !m_rows.empty())
        emit dataChanged(index(0, column), index(int(m_rows.size()) - 1, column));
}

void CXListModel::headerChanged(int column)
{
    emit headerDataChanged(Qt::Horizontal, column, column);
}
