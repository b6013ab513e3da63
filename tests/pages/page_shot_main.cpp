// Shows the configuration page with a few rows and saves it as a PNG.
#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "pages/CTab_ConfigSave.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("config_page.png");

    CTab_ConfigSave page;
    page.setWindowTitle(QStringLiteral("Config Load/Save"));
    page.chipCombo()->setCurrentIndex(page.chipCombo()->findText(QStringLiteral("SOLVAN")));
    page.ApplyChipSelection();
    CTab_ConfigSave::ShowComboValue(page.buzzerCombo(), "ON");
    page.LoadDownloadSpeed(8);
    page.AddTargetRow(1, 40, "app_main.bin", 0, 0);
    page.AddTargetRow(1, 8, "boot.bin", 0, 0);
    page.AddTargetRow(1, 100, "fat_image.bin", 1, 1);
    page.AddTargetRow(0, 0, "\xC7\xD1\xB1\xDB_backup.bin", 0, 0); // Hangul name
    page.AddTargetRow(1, 300, "resource.bin", 1, 0);
    page.RebuildTargetList();
    page.show();

    int rc = 0;
    QTimer::singleShot(300, &app, [&] {
        if (!page.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            rc = 1;
        }
        app.quit();
    });
    app.exec();
    return rc;
}
