#pragma once
// The two real back ends, under the name the application already includes.

#include "transport/LibUsbTransport.h"
#include "transport/WinUsbTransport.h"
