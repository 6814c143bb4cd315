#pragma once

#include "net/serverrequest.h"

#include <atomic>

// How long the sign-in requests wait for the server before they count as failed: the login
// requests, each poll of the QR-code loader and the user fetches. It is
// ServerRequest::dataWaitMs; tests shorten it to exercise a silent server in seconds.
class SigninWait
{
public:
    static int limitMs() { return s_limitMs.load(); }
    static void setLimitMs(int ms) { s_limitMs.store(ms > 0 ? ms : ServerRequest::dataWaitMs); }

private:
    static inline std::atomic<int> s_limitMs{ServerRequest::dataWaitMs};
};
