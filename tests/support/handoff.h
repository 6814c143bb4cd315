#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

// A value one thread hands to another that waits for it, with a time limit. The wait ends when
// the value comes, not on a poll, and the thread checker sees the hand-over.
template <typename T> class Handoff
{
public:
    void put(T value)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_value = std::move(value);
        }
        m_ready.notify_all();
    }

    // The value, or nothing when none came within `limitMs`.
    std::optional<T> waitFor(int limitMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait_for(lock, std::chrono::milliseconds(limitMs),
                         [this] { return m_value.has_value(); });
        return m_value;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::optional<T> m_value;
};
