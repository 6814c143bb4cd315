#pragma once

// What every fuzz target needs before its first input: the sanitizers' view of Qt, a private
// home and a quiet application object. Include it in exactly one file of a target.
#include "lsansuppressions.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>

// The leaks that are Qt's, not ours: see lsan.supp. Full allocation stacks (Qt is built without
// frame pointers) let the suppression find the parser's frame.
extern "C" const char *__lsan_default_suppressions()
{
    return fuzzLeakSuppressions();
}

extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

// Failure texts may load settings: they stay out of the real home.
inline QCoreApplication *fuzzApplication(int *argc, char ***argv)
{
    const QByteArray home = QDir::tempPath().toUtf8() + "/tarnex-fuzz-home";
    QDir().mkpath(QString::fromUtf8(home));
    qputenv("HOME", home);
    auto *application = new QCoreApplication(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    return application;
}
