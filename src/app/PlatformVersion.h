#pragma once
// Which platform the program runs on, reduced to the code that chooses the
// USB back end: 1998 (Windows 98), 1999 (Windows ME), 2000 (Windows 2000),
// 2001 for everything else.

#include <cstdint>
#include <optional>
#include <string>

class MessageLog;

// What a platform version query reports. Tests build records for the
// platforms this machine is not.
struct OsVersionRecord {
    enum class Family { Win9x, WinNT, Other };
    bool queried = true;          // false: the version could not be queried at all
    bool extendedQuery = true;    // the extended record was available
    Family family = Family::Other;
    int major = 0;
    int minor = 0;
    // NT only: for the edition lines of the log.
    bool serverOrDomainController = false;
    bool x64Processor = false;
    bool enterpriseOrDatacenterSuite = false;
    // NT without the extended record: the registry's product type, if readable.
    std::optional<std::string> productType;
};

constexpr std::int32_t kOsCodeWindows98 = 1998;
constexpr std::int32_t kOsCodeWindowsMe = 1999;
constexpr std::int32_t kOsCodeWindows2000 = 2000;
constexpr std::int32_t kOsCodeOther = 2001;

// The record of the running platform. On Linux: none of the Windows versions.
OsVersionRecord currentOsVersion();

// Applies the detection rules to `record`. Updates `osVersionCode` when the
// platform is recognised and returns false when detection failed (the code
// then keeps the value it had). Edition lines go to `log`.
bool detectOsVersion(const OsVersionRecord& record, std::int32_t& osVersionCode, MessageLog& log);
