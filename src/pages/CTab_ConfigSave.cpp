#include "pages/CTab_ConfigSave.h"

#include <QPushButton>

#include "app/DialogUnits.h"

CTab_ConfigSave::CTab_ConfigSave(QWidget* parent)
    : QWidget(parent)
{
    const DialogUnits du(DialogUnits::dialogFont());
    setFont(DialogUnits::dialogFont());
    resize(du.x(241), du.y(280));
    configLoad_ = new QPushButton(QStringLiteral("Config Load"), this);
    configLoad_->setObjectName(QStringLiteral("configLoad")); // control 1094
    configLoad_->setAutoDefault(false);
    configLoad_->setGeometry(du.rect(7, 7, 60, 18));
}
