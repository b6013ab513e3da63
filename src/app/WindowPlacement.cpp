#include "app/WindowPlacement.h"

#include <QSettings>

WindowPlacement readWindowPlacement(QSettings& profile)
{
    WindowPlacement p;
    profile.beginGroup(QString::fromLatin1(kProfileGroup));
    p.top = profile.value(QStringLiteral("TopPos"), p.top).toInt();
    p.left = profile.value(QStringLiteral("LeftPos"), p.left).toInt();
    p.height = profile.value(QStringLiteral("Height"), p.height).toInt();
    p.width = profile.value(QStringLiteral("Width"), p.width).toInt();
    profile.endGroup();
    return p;
}

void writeWindowPlacement(QSettings& profile, const QRect& frame)
{
    profile.beginGroup(QString::fromLatin1(kProfileGroup));
    profile.setValue(QStringLiteral("TopPos"), frame.top());
    profile.setValue(QStringLiteral("LeftPos"), frame.left());
    profile.setValue(QStringLiteral("Height"), frame.height());
    profile.setValue(QStringLiteral("Width"), frame.width());
    profile.endGroup();
    profile.sync();
}
