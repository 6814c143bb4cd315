#pragma once

#include <mutex>
#include <utility>

// A value shared between threads, reachable only under its own lock. The lock is a standard
// mutex because ThreadSanitizer sees those; Qt's locks live in an uninstrumented library, so
// state guarded by them looks unsynchronised and its real races would hide among the noise.
//
// get() hands out a copy, so nothing read escapes the lock. update() and read() run a function
// on the value under the lock and return a copy of what it returns; the function must not touch
// the same LockedValue again (the lock is not recursive) and should not wait on other threads.
template <typename T> class LockedValue
{
public:
    LockedValue() = default;
    explicit LockedValue(T value) : m_value(std::move(value)) {}
    LockedValue(const LockedValue &) = delete;
    LockedValue &operator=(const LockedValue &) = delete;

    T get() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_value;
    }

    void set(T value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_value = std::move(value);
    }

    template <typename Fn> auto update(Fn &&fn)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::forward<Fn>(fn)(m_value);
    }

    template <typename Fn> auto read(Fn &&fn) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::forward<Fn>(fn)(static_cast<const T &>(m_value));
    }

private:
    mutable std::mutex m_mutex;
    T m_value{};
};
