// SPDX-License-Identifier: GPL-3.0-or-later
#include "stall_meter.h"

#include <algorithm>

#include <time.h>

StallMeter::StallMeter() {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        const qint64 cpu = threadCpuNanoseconds();
        m_longest = std::max(m_longest, m_clock.elapsed() - m_last);
        m_longestBusy = std::max(m_longestBusy, cpu - m_lastCpu);
        m_last = m_clock.elapsed();
        m_lastCpu = cpu;
    });
    m_clock.start();
    m_lastCpu = threadCpuNanoseconds();
    m_timer.start(5);
}

qint64 StallMeter::longest() const {
    return std::max(m_longest, m_clock.elapsed() - m_last);
}

double StallMeter::longestBusy() const {
    return double(std::max(m_longestBusy, threadCpuNanoseconds() - m_lastCpu)) / 1e6;
}

qint64 StallMeter::threadCpuNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}
