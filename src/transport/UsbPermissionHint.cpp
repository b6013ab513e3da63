#include "transport/UsbPermissionHint.h"

#include "core/MessageLog.h"

void logUsbPermissionHint(MessageLog& log, const char* what)
{
    // Without the udev rule a desktop user may see the writer but not open it;
    // a bare "Cannot Open" would not tell them what to do.
    log.LogColored(kLogErrorColor,
        "No permission to open the USB writer %s. Install the udev rule: "
        "sudo cp 70-vren-kesto.rules /usr/lib/udev/rules.d/ && sudo udevadm control --reload "
        "&& sudo udevadm trigger, then plug the writer in again.\r\n",
        what);
}
