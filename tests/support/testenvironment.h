#pragma once

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>

// Points Qt's standard locations (Documents among them) into a private temporary home, so no
// test reads or writes a real user's settings. Call before QCoreApplication is created.
inline void tarnexIsolateHome()
{
    static QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tarnex-test-home-XXXXXX"));
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toUtf8());
}

// A benchmark's start: an isolated home, and the offscreen platform unless one is chosen.
inline void tarnexBenchEnvironment()
{
    tarnexIsolateHome();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The body of a test main: an isolated home, then what QTEST_MAIN does.
#define TARNEX_TEST_MAIN_BODY(TestClass)                                                           \
    tarnexIsolateHome();                                                                           \
    QApplication app(argc, argv);                                                                  \
    app.setAttribute(Qt::AA_Use96Dpi, true);                                                       \
    TestClass tc;                                                                                  \
    QTEST_SET_MAIN_SOURCE_PATH                                                                     \
    return QTest::qExec(&tc, argc, argv);

// QTEST_MAIN with an isolated home.
#define TARNEX_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        TARNEX_TEST_MAIN_BODY(TestClass)                                                           \
    }
