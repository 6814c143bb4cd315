#pragma once

#include "testenvironment.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <unistd.h>
#include <vector>

// Runs the test program again inside `dbus-run-session`, so whatever it registers or emits on the
// session bus stays on a bus of its own and never reaches the machine's. Returns only in the
// program already running on that private bus; otherwise the exec's failure is the exit code.
inline void tarnexEnterPrivateBus(char **argv)
{
    if (qEnvironmentVariableIsSet("TARNEX_ON_PRIVATE_BUS"))
        return;
    qputenv("TARNEX_ON_PRIVATE_BUS", "1");
    std::vector<char *> args{const_cast<char *>("dbus-run-session"), const_cast<char *>("--")};
    for (char **arg = argv; *arg; ++arg)
        args.push_back(*arg);
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::perror("dbus-run-session");
    _exit(127);
}

// TARNEX_TEST_MAIN on a private session bus.
#define TARNEX_PRIVATE_BUS_TEST_MAIN(TestClass)                                                    \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        tarnexEnterPrivateBus(argv);                                                               \
        tarnexIsolateHome();                                                                       \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestClass tc;                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
