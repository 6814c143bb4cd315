#pragma once

#include <QString>
#include <QStringList>

// Switches an installation over to an unpacked, checked package file by file, with every step
// written down first, so that a switch cut off anywhere (a failure, a full disk, a killed
// updater, a power cut) is undone at the next start and the client always starts as one version.
//
// Everything lives in the installation's work folder (same file system, so every move is a
// rename): new/ holds the package until each file is renamed into place, old/ what each replaced,
// and the journal lists what the switch touches. On Linux an old file is linked into old/ before
// the new one is renamed over it, so no name is ever missing; elsewhere it is renamed aside. The
// client program goes last: until it is switched, the old client starts and rolls back. old/
// stays until the new client has started once.
namespace InstallJournal {

// <installation>/.tarnex-update and its staging folder new/.
QString workFolder(const QString &root);
QString stagingFolder(const QString &root);
// Held while an update installs; a killed updater's lock counts as stale.
QString lockPath(const QString &root);
// Exists as anything, a dangling link included.
bool entryExists(const QString &path);

// Moves the staging folder's `leaves` into `root`, creating its `folders` first (both relative,
// parents before children); `version` is noted in the journal. Empty on success, with every moved
// name in `written`; otherwise why not, after undoing everything. The caller holds the lock.
QString switchOver(const QString &root, const QStringList &folders, const QStringList &leaves,
                   const QString &version, QStringList *written);

enum class Recovery {
    Nothing,    // no switch was under way
    RolledBack, // a switch cut off midway was undone: the old version is whole again
    Finished,   // the new version had been switched in; its old files are now removed
    Busy,       // an update is installing right now
};

// What a start does first. A switch that never finished is rolled back; a finished one is
// completed (the old files removed) only when `newVersionStarted`, i.e. by the client itself.
Recovery recover(const QString &root, bool newVersionStarted);
// As recover, for a caller that holds the lock.
Recovery recoverLocked(const QString &root, bool newVersionStarted);

// The update steps that can be cut off: TARNEX_UPDATE_KILL_AT=<step> makes the program kill
// itself there, as a power cut would (for the tests of the recovery).
void killPoint(const char *step);

} // namespace InstallJournal
