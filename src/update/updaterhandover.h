#pragma once

#include <QString>

// Starts the updater that belongs to this installation: the one below the running program's
// own folder, never one found through the working directory (which a log-in start sets to the
// home folder, and which may be writable by others).
namespace UpdaterHandover {

// The updater's path for the running program.
QString updaterPath();

// Starts the updater detached with the feed text and the current version (and "app-update"
// when `fromDialog`). False, with a log line, when it is missing or cannot be started; the
// caller then carries on without it.
bool start(const QString &feedText, const QString &currentVersion, bool fromDialog);

} // namespace UpdaterHandover
