// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QTimer>

// Ticks every 5 ms and keeps the longest time between two ticks: how long the window could not
// react to the user. Beside it, the most CPU time the GUI thread itself spent between two ticks:
// on a busy machine the first also holds the time the thread waited for a core.
class StallMeter {
public:
    StallMeter();
    qint64 longest() const;
    double longestBusy() const; // in milliseconds

private:
    static qint64 threadCpuNanoseconds();

    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_last = 0, m_longest = 0;
    qint64 m_lastCpu = 0, m_longestBusy = 0;
};
