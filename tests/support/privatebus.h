#pragma once

#include "testenvironment.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <unistd.h>
#include <vector>

// Runs the test program again inside a private session bus (tests/support/session-bus.conf)
// unless it already runs in one, so no test reaches the machine's own bus or keychain. Call
// first thing in main; returns only inside the private bus. There the keychain and the
// notification service are the test's own, so the suite's switches that keep other tests away
// from the user's services are lifted.
inline void tarnexRunOnPrivateBus(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("TARNEX_PRIVATE_BUS"))
        return;
    qputenv("TARNEX_PRIVATE_BUS", "1");
    qunsetenv("TARNEX_KEYCHAIN");
    qunsetenv("TARNEX_NOTIFICATIONS");
    static QByteArray config =
        QByteArrayLiteral("--config-file=" TARNEX_SOURCE_DIR "/tests/support/session-bus.conf");
    std::vector<char *> args{const_cast<char *>("dbus-run-session"), config.data(),
                             const_cast<char *>("--")};
    for (int i = 0; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::perror("dbus-run-session");
    _exit(127);
}

// A test main that first moves the program onto its own bus, then runs like TARNEX_TEST_MAIN.
#define TARNEX_PRIVATE_BUS_TEST_MAIN(TestClass)                                                    \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        tarnexRunOnPrivateBus(argc, argv);                                                         \
        TARNEX_TEST_MAIN_BODY(TestClass)                                                           \
    }
