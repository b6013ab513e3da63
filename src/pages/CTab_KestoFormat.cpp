#include "pages/CTab_KestoFormat.h"

#include "app/DialogUnits.h"

CTab_KestoFormat::CTab_KestoFormat(QWidget* parent)
    : QWidget(parent)
{
    const DialogUnits du(DialogUnits::dialogFont());
    setFont(DialogUnits::dialogFont());
    resize(du.x(235), du.y(170));
}
