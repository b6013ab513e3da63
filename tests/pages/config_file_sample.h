#pragma once
// A page filled the way a production line fills it before a save: enabled
// InFlash and NAND rows (one carrying the FAT), a disabled row, a name whose
// bytes are not valid code page 949, and chip, speed and buzzer set away from
// their start-up values. The configuration file tests share it.

#include <QComboBox>
#include <QLineEdit>

#include <string>

#include "config/TargetSettings.h"
#include "pages/CTab_ConfigSave.h"

namespace configfile {

inline const std::string kInvalidName = "\x81\xFF.bin"; // not code page 949

inline void fillSamplePage(CTab_ConfigSave& page)
{
    page.chipCombo()->setCurrentIndex(page.chipCombo()->findText(QStringLiteral("moLarkL")));
    page.ApplyChipSelection();
    page.buzzerCombo()->setCurrentIndex(page.buzzerCombo()->findText(QStringLiteral("OFF")));
    page.LoadDownloadSpeed(7);
    page.eraseCombo()->setCurrentIndex(page.eraseCombo()->findText(QStringLiteral("Enable")));
    page.fatVerifyCombo()->setCurrentIndex(page.fatVerifyCombo()->findText(QStringLiteral("Disable")));
    page.crystalEdit()->setText(QStringLiteral("24000000"));
    page.AddTargetRow(1, 40, "app_main.bin", kTargetInFlash, 0);
    page.AddTargetRow(0, 0, "old_boot.bin", kTargetInFlash, 0);
    page.AddTargetRow(1, 8, "boot.bin", kTargetInFlash, 0);
    page.AddTargetRow(1, 100, "fat_image.bin", kTargetNand, 1);
    page.AddTargetRow(1, 300, kInvalidName, kTargetNand, 0);
    page.AddTargetRow(1, 200, "\xC7\xD1\xB1\xDB.img", kTargetNand, 0); // Hangul name
    page.RebuildTargetList();
}

} // namespace configfile
