#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <time.h>
#endif

// Times steps of work on one thread, keeping the longest: by the thread's own CPU time, which a
// busy machine does not inflate, and by the clock. Where the system has no per-thread CPU time,
// both are the clock's.
class StepClock
{
public:
    void start()
    {
        m_wall.start();
        m_cpuStart = cpuNs();
    }
    // Ends the step begun by start().
    void stop()
    {
        const qint64 wall = m_wall.nsecsElapsed();
        const qint64 cpu = m_cpuStart >= 0 ? cpuNs() - m_cpuStart : wall;
        m_longestWall = std::max(m_longestWall, wall);
        m_longestCpu = std::max(m_longestCpu, cpu);
    }
    void reset() { m_longestWall = m_longestCpu = 0; }

    // "<cpu> ms of CPU (<wall> ms wall)", as the logs give it.
    QString longestText() const
    {
        return QStringLiteral("%1 ms of CPU (%2 ms wall)")
            .arg(m_longestCpu / 1e6, 0, 'f', 1)
            .arg(m_longestWall / 1e6, 0, 'f', 1);
    }

private:
    static qint64 cpuNs()
    {
#ifdef Q_OS_UNIX
        timespec now{};
        if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) == 0)
            return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
#endif
        return -1;
    }

    QElapsedTimer m_wall;
    qint64 m_cpuStart = -1;
    qint64 m_longestWall = 0;
    qint64 m_longestCpu = 0;
};
