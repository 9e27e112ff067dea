// The event loop of the monitor's tests that run Qt without windows.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace qavtest {

// Runs the event loop until `done` or the time is up; the longest pause
// between two ticks of a 20 ms timer goes to *maxGapMs (a window thread
// that waited for a printer or a server shows there).
inline bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs, qint64* maxGapMs = nullptr)
{
    QElapsedTimer total, sinceTick;
    total.start();
    sinceTick.start();
    qint64 gap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        gap = std::max(gap, sinceTick.restart());
        if (done() || total.elapsed() > timeoutMs) QCoreApplication::quit();
    });
    tick.start(20);
    QCoreApplication::exec();
    if (maxGapMs) *maxGapMs = gap;
    return done();
}

} // namespace qavtest
