#pragma once
// The Initialization operation: each writer formats its file system and
// answers only once it is done, tens of seconds later; the host waits.

#include <chrono>

#include "core/Clock.h"
#include "operations/OperationRunner.h"

namespace kestoinit {

// Writers 1..9 are not read at all for this long after the request.
constexpr std::chrono::seconds kQuietPhase{30};
// The reply is given up for lost when this much time has passed since the
// request: writer 0 is read from the start, the others after the quiet phase.
constexpr std::chrono::seconds kFirstWriterReplyLimit{70};
constexpr std::chrono::seconds kReplyLimit{40};
// At least this long between two reads of the reply: a read that comes back
// empty at once (a writer gone) must not turn the wait into a busy loop.
constexpr std::chrono::seconds kReadSpacing{1};

} // namespace kestoinit

// Asks writer context.dev to initialize its file system and waits for its
// answer, showing "Initializing~~", "Waiting~~" and "Initial Complete!" in
// its status cell. OS_SUCCESS, OS_WRITE_USB_ERROR, OS_READ_USB_ERROR (no
// answer in time, or stopped) or OS_COMM_ERROR (the writer reports failure).
// Every wait sleeps on `clock` and ends early when the runner is stopped.
OperationStatus Kesto_FileSystemInitial(WorkerContext& context, const Clock& clock);

// The Initialization worker's own step for OperationRunner::startOperation,
// which runs the common start before it and the finish after it. `clock`
// must outlive the operation.
OperationMiddle KestoInitialWorker(const Clock& clock = Clock::steady());
