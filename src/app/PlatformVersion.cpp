#include "app/PlatformVersion.h"

#include <QString>

#include "core/MessageLog.h"

OsVersionRecord currentOsVersion()
{
    OsVersionRecord record;
    record.family = OsVersionRecord::Family::Other;
    return record;
}

bool detectOsVersion(const OsVersionRecord& record, std::int32_t& osVersionCode, MessageLog& log)
{
    if (!record.queried)
        return false;

    using Family = OsVersionRecord::Family;
    if (record.family == Family::Win9x && record.major == 4) {
        if (record.minor == 10)
            osVersionCode = kOsCodeWindows98;
        else if (record.minor == 90)
            osVersionCode = kOsCodeWindowsMe;
    }
    if (record.family != Family::WinNT)
        return true;

    if (record.major == 5 && record.minor == 0)
        osVersionCode = kOsCodeWindows2000;
    if (record.major == 5 && record.minor == 2 && record.serverOrDomainController && record.x64Processor
        && !record.enterpriseOrDatacenterSuite)
        log.LogText("Standard x64 Edition ");
    if (!record.extendedQuery) {
        if (!record.productType)
            return false;
        if (QString::fromLatin1(record.productType->c_str()).compare(QLatin1String("SERVERNT"), Qt::CaseInsensitive) == 0)
            log.LogText("Advanced Server ");
    }
    return true;
}
