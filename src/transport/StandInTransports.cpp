#include "transport/StandInTransports.h"

std::int32_t LibUsbTransport::OpenAllDevices()
{
    table().deviceCount = 0;
    return 1;
}

std::int32_t WinUsbTransport::OpenAllDevices()
{
    return openWalkStoppingAtFirstFailure(0, [](int) { return std::unique_ptr<OpenedDevice>(); });
}
