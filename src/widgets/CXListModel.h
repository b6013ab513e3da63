#pragma once
// The table of cell records behind a CXListCtrl.
//
// The model owns every cell's text and attributes; the view and its delegate
// only read them. Rows and columns are inserted through the model so that
// persistent indexes (the open editor's cell) follow the moves.

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QVariant>

#include <vector>

// A cell's drop-down choices.
struct CXChoiceList {
    bool on = false;
    QStringList strings;
    int rowsShown = 10;
    int initialChoice = -1; // shown as current at the first opening, then forgotten
    bool sort = false;
};

// One cell of the grid list, with the defaults a new cell has.
struct CXListCell {
    QString text;
    bool enabled = true;  // the cell reacts to clicks
    bool modified = false; // the user changed the cell
    QColor textColor;       // invalid: the list's default text colour
    QColor backgroundColor; // invalid: the list's default background colour
    Qt::Alignment alignment; // empty: as the column's format
    int check = 0;           // 0 no box, 1 unchecked, 2 checked
    CXChoiceList choice;
    bool editable = false;
    QString toolTip; // empty: none
};

struct CXListColumn {
    QString title;
    Qt::Alignment format = Qt::AlignLeft;
    int headerCheck = 0; // 0 no box, 1 unchecked, 2 checked
};

class CXListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // headerData/setHeaderData role carrying a column header's check state.
    static constexpr int HeaderCheckRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool hasRow(int row) const { return row >= 0 && row < int(m_rows.size()); }
    bool hasColumn(int column) const { return column >= 0 && column < int(m_columns.size()); }

    // nullptr when the cell does not exist.
    CXListCell* cell(int row, int column);
    const CXListCell* cell(int row, int column) const;
    CXListColumn* column(int column);
    const CXListColumn* column(int column) const;

    // Positions past the end append; a negative position gives -1.
    int insertColumnAt(int position, const CXListColumn& column);
    bool removeColumnAt(int column);
    int insertRowAt(int position, const QString& firstText);
    void removeAllRows();

    QVariant rowData(int row) const;
    bool setRowData(int row, const QVariant& value);

    // Tell the view that cells changed, so it redraws them.
    void cellChanged(int row, int column);
    void rowChanged(int row);
    void columnChanged(int column);
    void headerChanged(int column);

private:
    struct Row {
        std::vector<CXListCell> cells;
        QVariant data;
    };

    std::vector<Row> m_rows;
    std::vector<CXListColumn> m_columns;
};
