// Gallery of the grid list's cells: check boxes with a header box, choice
// cells (one disabled), an edit cell, cell colours, and the empty-list text.
//
//   kesto_widgets_gallery [--screenshot FILE] [--open-choice] [--open-editor]
//
// --screenshot saves the window (or the whole screen while a drop-down is
// open, since the drop-down is a window of its own) and quits.

#include "widgets/CXEdit.h"
#include "widgets/CXListCtrl.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {

const QColor kHeaderBlue(0, 128, 255);
const QColor kEmptyTextBlue(0, 70, 220);
const QColor kGrey(200, 200, 200);
const QColor kWhite(255, 255, 255);

QGroupBox* framed(const QString& title, QWidget* content)
{
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(content);
    return box;
}

CXListCtrl* contactList()
{
    auto* list = new CXListCtrl;
    list->AddColumn(0, QStringLiteral("Dev No."), Qt::AlignHCenter, 62);
    list->AddColumn(1, QStringLiteral("En"), Qt::AlignHCenter, 44, 1);
    list->AddColumn(2, QStringLiteral("Status"), Qt::AlignLeft, 166);
    list->SetHeaderTextColor(-1, kHeaderBlue);
    list->SetRowHeight(25);
    list->SetHeaderHeight(25);
    const QStringList statuses = {QStringLiteral("VREN Kesto Contact-OK!"), QStringLiteral("Kesto Contact - JTAG"),
                                  QStringLiteral("Contact - Unknown!")};
    for (int i = 0; i < statuses.size(); ++i) {
        const int row = list->AddRow(i, QString::number(i + 1));
        list->SetCellCheck(row, 1, i == 1 ? 1 : 2);
        list->SetCellText(row, 2, statuses[i]);
        if (i == 1)
            list->SetCellColors(row, -1, QColor(), kGrey);
    }
    list->SetCellText(2, 2, QStringLiteral("COMM Error!"), QColor(199, 21, 133), QColor());
    QObject::connect(list, &CXListCtrl::checkBoxClicked, list, [list](int row, int column) {
        if (row >= 0 && column == 1)
            list->SetCellColors(row, -1, QColor(), list->GetCellCheck(row, 1) == 2 ? kWhite : kGrey);
    });
    list->setMinimumSize(290, 130);
    return list;
}

CXListCtrl* targetList()
{
    auto* list = new CXListCtrl;
    list->AddColumn(0, QStringLiteral("En"), Qt::AlignHCenter, 45, 2);
    list->AddColumn(1, QStringLiteral("Target"), Qt::AlignLeft, 80);
    list->AddColumn(2, QStringLiteral("Fat"), Qt::AlignHCenter, 45, 1);
    list->AddColumn(3, QStringLiteral("Sector No."), Qt::AlignHCenter, 72);
    list->AddColumn(4, QStringLiteral("File Name"), Qt::AlignLeft, 150);
    list->SetHeaderTextColor(-1, kHeaderBlue);
    list->SetHeaderHeight(25); // rows keep the default height
    const QStringList targets = {QStringLiteral("InFlash"), QStringLiteral("NAND")};
    struct Row {
        bool enabled;
        int target;
        int fat;
        const char* sector;
        const char* file;
    };
    const Row rows[] = {{true, 0, 0, "0", "boot.bin"},
                        {true, 1, 2, "8", "fat_image.bin"},
                        {true, 1, 1, "4096", "resource.bin"},
                        {false, 0, 0, "24", "old_firmware.bin"}};
    for (const Row& r : rows) {
        const int row = list->AddRow(list->GetRowCount(), QString());
        list->SetCellCheck(row, 0, r.enabled ? 2 : 1);
        list->SetCellChoices(row, 1, true, targets, 2, r.enabled ? r.target : 0);
        list->SetCellText(row, 3, QString::fromLatin1(r.sector));
        list->SetCellEditable(row, 3);
        list->SetCellText(row, 4, QString::fromLatin1(r.file));
        if (r.fat != 0)
            list->SetCellCheck(row, 2, r.fat);
        if (!r.enabled) {
            list->SetCellEnabled(row, 1, false);
            list->SetCellColors(row, -1, QColor(0, 0, 0), kGrey);
        }
    }
    list->setMinimumSize(420, 160);
    return list;
}

CXListCtrl* emptyList()
{
    auto* list = new CXListCtrl;
    list->AddColumn(0, QStringLiteral("Dev No."), Qt::AlignHCenter, 62);
    list->AddColumn(1, QStringLiteral("En"), Qt::AlignHCenter, 44, 1);
    list->AddColumn(2, QStringLiteral("Status"), Qt::AlignLeft, 166);
    list->SetHeaderTextColor(-1, kHeaderBlue);
    list->SetHeaderHeight(25);
    list->SetEmptyText(QStringLiteral("No USB Devices Connected\r\nMaximum Contact Devices are 10"),
                       kEmptyTextBlue);
    list->setMinimumSize(290, 110);
    return list;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"), QStringLiteral("Save a screenshot and quit."),
                                        QStringLiteral("file"));
    const QCommandLineOption openChoice(QStringLiteral("open-choice"), QStringLiteral("Open a drop-down."));
    const QCommandLineOption openEditor(QStringLiteral("open-editor"), QStringLiteral("Open an edit field."));
    parser.addOptions({screenshot, openChoice, openEditor});
    parser.process(app);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Grid list gallery"));
    auto* layout = new QVBoxLayout(&window);
    CXListCtrl* contacts = contactList();
    CXListCtrl* targets = targetList();
    layout->addWidget(framed(QStringLiteral("Check boxes, header box, colours"), contacts));
    layout->addWidget(framed(QStringLiteral("Choice, edit and check cells"), targets));
    layout->addWidget(framed(QStringLiteral("Empty list"), emptyList()));
    window.move(0, 0);
    window.show();

    if (parser.isSet(openEditor))
        targets->OpenEditor(2, 3);
    if (parser.isSet(openChoice))
        targets->OpenChoice(1, 1);

    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        QTimer::singleShot(500, &app, [&] {
            QPixmap shot = parser.isSet(openChoice) ? QGuiApplication::primaryScreen()->grabWindow(0)
                                                    : window.grab();
            app.exit(shot.save(file) ? 0 : 1);
        });
    }
    return app.exec();
}
