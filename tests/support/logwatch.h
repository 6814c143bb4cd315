#pragma once

#include <QStringList>
#include <QtGlobal>

#include <atomic>
#include <mutex>

// Keeps the process's log lines while it lives (they still reach the previous handler), so a
// test can wait for the line a class writes once it has handled a reply that leaves no other
// trace. One watch at a time. Log lines come from every thread: standard locks, so the thread
// checker sees them.
class LogWatch
{
public:
    LogWatch() : m_previous(qInstallMessageHandler(&LogWatch::handle)) { s_current = this; }
    ~LogWatch()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    LogWatch(const LogWatch &) = delete;
    LogWatch &operator=(const LogWatch &) = delete;

    // Lines seen so far that contain `text`.
    int count(const QString &text) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return int(m_lines.filter(text).size());
    }

    // Every line seen so far.
    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        LogWatch *watch = s_current;
        if (!watch)
            return;
        {
            std::lock_guard<std::mutex> lock(watch->m_mutex);
            watch->m_lines << text;
        }
        if (watch->m_previous)
            watch->m_previous(type, context, text);
    }

    static inline std::atomic<LogWatch *> s_current = nullptr;
    QtMessageHandler m_previous;
    mutable std::mutex m_mutex;
    QStringList m_lines;
};
