#pragma once
// Small helpers shared by the test programs.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace testsupport {

// Runs the Qt event loop until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace testsupport
