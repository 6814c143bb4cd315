#pragma once

#include <QEventLoop>

#include <atomic>
#include <functional>

class QNetworkReply;

// How long one kind of request waits for the server before it counts as failed, and the one
// bounded wait for a reply. Each kind keeps a limit of its own (ServerRequest::dataWaitMs);
// tests shorten one to exercise a silent server in seconds without touching the others.
class RequestWait
{
public:
    // The sign-in requests: the login requests, each poll of the QR-code loader, user fetches.
    static RequestWait &signin();
    // The directory's requests.
    static RequestWait &directory();

    int limitMs() const { return m_limitMs.load(); }
    // A limit of 0 or less restores the default.
    void setLimitMs(int ms);

    // Runs a local event loop until `reply` finishes, `limitMs` passes or `stopped` (asked every
    // stopCheckMs) says the wait is no longer wanted. Returns whether the reply has finished;
    // an unfinished reply is left to the caller (to abort, or to read what has arrived).
    static bool forReply(QNetworkReply *reply, int limitMs,
                         QEventLoop::ProcessEventsFlags flags = QEventLoop::ExcludeUserInputEvents,
                         const std::function<bool()> &stopped = {});
    static constexpr int stopCheckMs = 50;

private:
    RequestWait();
    std::atomic<int> m_limitMs;
};
