#include "update/CAboutDlg.h"

#include "app/CodePage.h"
#include "app/DialogUnits.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
{
    const DialogUnits du(DialogUnits::dialogFont());
    setFont(DialogUnits::dialogFont());
    // "VREN_KESTO_CONFIGURATOR" followed by the Korean word for "information".
    setWindowTitle(fromCodePage("VREN_KESTO_CONFIGURATOR \xC1\xA4\xBA\xB8"));
    setFixedSize(du.x(171), du.y(99));
}
