#pragma once

// Qt from the distribution is not built for ThreadSanitizer: its own locks are invisible to it, so
// memory that Qt hands between threads inside itself looks unsynchronised. These entries leave
// Qt's and GLib's internals out of the analysis; the client's own hand-overs between threads use
// standard mutexes and atomics, which the checker sees.
#if defined(__SANITIZE_THREAD__)
extern "C" const char *__tsan_default_suppressions()
{
    return "called_from_lib:libQt5Core.so.5\n"
           "called_from_lib:libQt5Network.so.5\n"
           "called_from_lib:libQt5WebSockets.so.5\n"
           "called_from_lib:libQt5Test.so.5\n"
           "called_from_lib:libglib-2.0.so.0\n";
}
#endif
