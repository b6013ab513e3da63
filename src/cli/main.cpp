// vren-kesto: the writers' operations from a command line, on the writers
// plugged into this machine (the current-platform back end, as the window
// picks it on Linux).
#include "cli/KestoCli.h"
#include "transport/WinUsbTransport.h"

int main(int argc, char** argv)
{
    return kestoCliMain(argc, argv, [](TransportServices services) -> std::unique_ptr<TransportBackend> {
        return std::make_unique<WinUsbTransport>(std::move(services));
    });
}
