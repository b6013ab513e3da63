#include "UpdaterWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kProgressRole = Qt::UserRole; // 0..1000, or -1 for no bar

// Draws the progress column as a progress bar; ten thousand lines cost no
// widget each.
class ProgressDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QVariant value = index.data(kProgressRole);
        if (!value.isValid() || value.toInt() < 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionProgressBar bar;
        bar.rect = option.rect.adjusted(2, 2, -2, -2);
        bar.minimum = 0;
        bar.maximum = 1000;
        bar.progress = value.toInt();
        bar.text = index.data(Qt::DisplayRole).toString();
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        bar.state = option.state | QStyle::State_Horizontal;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
    }
};

} // namespace

UpdaterWindow::UpdaterWindow(QWidget* parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("AutoUpdator - VREN Kesto Configurator"));
    resize(560, 360);

    auto* heading = new QLabel(QStringLiteral("Updating VREN Kesto Configurator. It starts again when the update is done."));
    heading->setWordWrap(true);

    table_ = new QTableWidget(0, 3, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Version"), QStringLiteral("Progress")});
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table_->setColumnWidth(2, 170);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setItemDelegateForColumn(2, new ProgressDelegate(table_));

    auto* overallLabel = new QLabel(QStringLiteral("Overall:"));
    overall_ = new QProgressBar;
    overall_->setRange(0, 1000);
    overall_->setValue(0);
    overall_->setFormat(QStringLiteral("%p %"));
    auto* overallRow = new QHBoxLayout;
    overallRow->addWidget(overallLabel);
    overallRow->addWidget(overall_, 1);

    status_ = new QLabel(QStringLiteral("Fetching the list of files..."));
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    close_ = new QPushButton(QStringLiteral("Close"));
    close_->hide();
    connect(close_, &QPushButton::clicked, this, &UpdaterWindow::closeRequested);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(table_, 1);
    layout->addLayout(overallRow);
    layout->addWidget(status_);
    layout->addLayout(buttons);
}

void UpdaterWindow::setLines(const QList<Line>& lines)
{
    table_->setRowCount(int(lines.size()));
    for (int row = 0; row < lines.size(); ++row) {
        const Line& line = lines[row];
        table_->setItem(row, 0, new QTableWidgetItem(line.name));
        table_->setItem(row, 1, new QTableWidgetItem(line.version));
        auto* state = new QTableWidgetItem(line.state);
        state->setData(kProgressRole, -1);
        table_->setItem(row, 2, state);
    }
}

void UpdaterWindow::setLineProgress(int line, qint64 received, qint64 total)
{
    QTableWidgetItem* item = table_->item(line, 2);
    if (!item)
        return;
    if (total > 0) {
        item->setData(kProgressRole, int(received * 1000 / total));
        item->setText(QStringLiteral("%1 %").arg(received * 100 / total));
    } else {
        item->setData(kProgressRole, 0);
        item->setText(QStringLiteral("%1 KiB").arg(received / 1024));
    }
}

void UpdaterWindow::setLineState(int line, const QString& state)
{
    if (QTableWidgetItem* item = table_->item(line, 2)) {
        item->setData(kProgressRole, state == u"done" ? 1000 : -1);
        item->setText(state);
    }
}

void UpdaterWindow::setOverall(int filesDone, int filesTotal, double currentShare)
{
    overall_->setValue(filesTotal > 0 ? int((filesDone + currentShare) * 1000 / filesTotal) : 1000);
}

void UpdaterWindow::setStatus(const QString& text)
{
    status_->setText(text);
}

void UpdaterWindow::showFailure(const QString& text)
{
    status_->setText(QStringLiteral("Update failed: %1\nThe installed program was not changed.").arg(text));
    QPalette palette = status_->palette();
    palette.setColor(QPalette::WindowText, QColor(199, 21, 133));
    status_->setPalette(palette);
    close_->show();
    close_->setDefault(true);
}

void UpdaterWindow::closeEvent(QCloseEvent* event)
{
    // The owner decides when the window goes: a running update stops first.
    event->ignore();
    emit closeRequested();
}
