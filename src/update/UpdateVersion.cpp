#include "update/UpdateVersion.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

bool isNumber(const QString& part)
{
    return !part.isEmpty() && std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

int sign(int v)
{
    return (v > 0) - (v < 0);
}

// Numbers of any length: without their leading zeros, the longer one is the
// larger, and equal lengths compare digit by digit.
int compareNumbers(QString a, QString b)
{
    while (a.size() > 1 && a.front() == u'0')
        a.remove(0, 1);
    while (b.size() > 1 && b.front() == u'0')
        b.remove(0, 1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return sign(a.compare(b));
}

} // namespace

int compareVersions(const QString& a, const QString& b)
{
    static const QRegularExpression separator(QStringLiteral("[.,]"));
    const QStringList pa = a.split(separator);
    const QStringList pb = b.split(separator);
    const qsizetype parts = std::max(pa.size(), pb.size());
    for (qsizetype i = 0; i < parts; ++i) {
        QString x = i < pa.size() ? pa[i].trimmed() : QString();
        QString y = i < pb.size() ? pb[i].trimmed() : QString();
        if (x.isEmpty())
            x = QStringLiteral("0");
        if (y.isEmpty())
            y = QStringLiteral("0");
        const int c = isNumber(x) && isNumber(y) ? compareNumbers(x, y) : sign(x.compare(y));
        if (c != 0)
            return c;
    }
    return 0;
}
