#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// Remembers for a while that the server left a lookup unanswered which the window waits for, so
// one silent server freezes the window once, not at every call. Not locked: each user keeps it
// on one thread.
class SilentServer
{
public:
    explicit SilentServer(qint64 memoryMs) : m_memoryMs(memoryMs) {}

    // True while a lookup should not ask the server again.
    bool remembered() const { return m_until != 0 && nowMs() < m_until; }
    // The outcome of a lookup: a time-out starts the memory, an answer ends it.
    void settle(bool timedOut) { m_until = timedOut ? nowMs() + m_memoryMs : 0; }
    void forget() { m_until = 0; }

private:
    static qint64 nowMs()
    {
        static const QElapsedTimer clock = [] {
            QElapsedTimer started;
            started.start();
            return started;
        }();
        return clock.elapsed() + 1;
    }

    qint64 m_memoryMs;
    qint64 m_until = 0;
};
