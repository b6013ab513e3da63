#include "operations/KestoInitialWorker.h"

#include "core/MessageLog.h"

using namespace kestoinit;

namespace {

// The writer's own verdict on a format that it could not carry out.
struct FailedInitial {
    std::uint8_t status;
    const char* what;
};

constexpr FailedInitial kFailedInitials[] = {
    {RS_ERROR, "FileSystemMount Error!"},
    {RS_FAILED, "FileSystemInitial Error!"},
};

} // namespace

OperationStatus Kesto_FileSystemInitial(WorkerContext& context, const Clock& clock)
{
    const int dev = context.dev;
    KestoProtocol& protocol = context.protocol;

    context.report.writerStatus(dev, "Initializing~~");
    if (const OperationStatus s = protocol.fsInitialRequest(dev); s != OS_SUCCESS)
        return s;
    const Clock::TimePoint requested = clock.now();

    // Writer 0 is read from the start; the others are left alone while they
    // format, which the format needs most of.
    const bool firstWriter = dev == 0;
    if (!firstWriter && !clock.sleepUntil(requested + kQuietPhase, context.stopToken))
        return OS_READ_USB_ERROR;

    context.report.writerStatus(dev, "Waiting~~");
    context.log.LogText("\t +  Dev%02d: FileSystem Initializing Continue!\r\n", dev + 1);

    const Clock::TimePoint limit = requested + (firstWriter ? kFirstWriterReplyLimit : kReplyLimit);
    Clock::TimePoint readStarted = clock.now();
    // Asked after every read that brought nothing; each read itself waits up
    // to the transport's time-out.
    auto keepWaiting = [&] {
        if (context.stopToken.stop_requested() || clock.now() > limit)
            return false;
        if (!clock.sleepUntil(readStarted + kReadSpacing, context.stopToken))
            return false;
        readStarted = clock.now();
        return true;
    };
    const OperationStatus status = protocol.fsInitialAwaitReply(dev, keepWaiting);
    if (status == OS_READ_USB_ERROR)
        return status;

    const kesto::StatusReply reply = protocol.lastReply(dev);
    for (const FailedInitial& failed : kFailedInitials) {
        if (reply.hasStatus && reply.status == failed.status) {
            context.log.LogColored(kLogErrorColor, "\t +  Dev%02d: %s\r\n", dev + 1, failed.what);
            return OS_COMM_ERROR;
        }
    }
    // A reply too short to carry a status byte does not confirm the format.
    if (status != OS_SUCCESS)
        return status;

    context.report.writerStatus(dev, "Initial Complete!");
    context.log.LogText("\t +  Dev%02d: FileSystem Initial Complete!\r\n", dev + 1);
    return OS_SUCCESS;
}

OperationMiddle KestoInitialWorker(const Clock& clock)
{
    return [&clock](WorkerContext& context) { return Kesto_FileSystemInitial(context, clock); };
}
