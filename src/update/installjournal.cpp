#include "installjournal.h"

#include "logging.h"
#include "platform/runningclient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#ifdef Q_OS_UNIX
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using InstallJournal::entryExists;

const QString journalName = QStringLiteral("journal");
const QByteArray journalMagic = QByteArrayLiteral("tarnex-install-journal");

struct Entry
{
    QString path;
    bool hadOld = false;
};

struct Journal
{
    QString state; // "switching" until every file is in place, then "switched"
    QString version;
    QStringList folders; // created by the switch
    QVector<Entry> entries;
};

QString journalPath(const QString &root)
{
    return InstallJournal::workFolder(root) + QLatin1Char('/') + journalName;
}
QString oldSlot(const QString &root, const QString &relative)
{
    return InstallJournal::workFolder(root) + QStringLiteral("/old/") + relative;
}
QString newSlot(const QString &root, const QString &relative)
{
    return InstallJournal::stagingFolder(root) + QLatin1Char('/') + relative;
}

// Links are moved as links; a name already there is replaced in one step.
bool renameOver(const QString &from, const QString &to)
{
#ifdef Q_OS_UNIX
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#else
    if (entryExists(to) && !QFile::remove(to))
        return false;
    return QDir().rename(from, to);
#endif
}

// Keeps what stands at `from` under `to` as well; on Linux a hard link, so `from` stays.
bool keepOld(const QString &from, const QString &to)
{
    if (!QDir().mkpath(QFileInfo(to).path()))
        return false;
#ifdef Q_OS_UNIX
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
#endif
    return renameOver(from, to);
}

// Renames reach the disk with their folder; a power cut must not reorder them before the journal.
void syncFolder(const QString &path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(path)
#endif
}

bool writeJournal(const QString &root, const Journal &journal)
{
    QByteArray text = journalMagic + '\n';
    text += "state " + journal.state.toUtf8() + '\n';
    text += "version " + journal.version.toUtf8() + '\n';
    for (const QString &folder : journal.folders)
        text += "folder " + folder.toUtf8() + '\n';
    for (const Entry &entry : journal.entries)
        text += (entry.hadOld ? "entry old " : "entry new ") + entry.path.toUtf8() + '\n';
    QSaveFile file(journalPath(root));
    // The journal must be on disk before the step it describes.
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush() ||
        !file.commit())
        return false;
    syncFolder(InstallJournal::workFolder(root));
    return true;
}

// False when there is no journal, or one this program cannot read (then nothing is touched).
bool readJournal(const QString &root, Journal *journal)
{
    QFile file(journalPath(root));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Names of a package are short; a journal of a hundred thousand of them stays far below this.
    const QList<QByteArray> lines = file.read(64 << 20).split('\n');
    if (lines.value(0) != journalMagic)
        return false;
    for (const QByteArray &line : lines) {
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(QLatin1String("state ")))
            journal->state = text.mid(6);
        else if (text.startsWith(QLatin1String("version ")))
            journal->version = text.mid(8);
        else if (text.startsWith(QLatin1String("folder ")))
            journal->folders.append(text.mid(7));
        else if (text.startsWith(QLatin1String("entry old ")))
            journal->entries.append({text.mid(10), true});
        else if (text.startsWith(QLatin1String("entry new ")))
            journal->entries.append({text.mid(10), false});
    }
    // A name that climbs out would make the undo touch files outside the installation.
    const auto unsafe = [](const QString &path) {
        return path.isEmpty() || path.startsWith(QLatin1Char('/')) ||
               path.split(QLatin1Char('/')).contains(QStringLiteral(".."));
    };
    return !std::any_of(journal->folders.cbegin(), journal->folders.cend(), unsafe) &&
           std::none_of(journal->entries.cbegin(), journal->entries.cend(),
                        [&](const Entry &entry) { return unsafe(entry.path); });
}

// Puts every entry back as it was; safe to repeat after being cut off itself.
void rollBack(const QString &root, const Journal &journal)
{
    for (auto it = journal.entries.crbegin(); it != journal.entries.crend(); ++it) {
        const QString destination = root + QLatin1Char('/') + it->path;
        if (it->hadOld) {
            // Replaces the new file, if it is there, in one step.
            if (entryExists(oldSlot(root, it->path)))
                renameOver(oldSlot(root, it->path), destination);
        } else if (!entryExists(newSlot(root, it->path)) && entryExists(destination)) {
            QFile::remove(destination); // the new file, which had no old one
        }
    }
    for (auto it = journal.folders.crbegin(); it != journal.folders.crend(); ++it)
        QDir(root).rmdir(*it);
}

} // namespace

namespace InstallJournal {

bool entryExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString workFolder(const QString &root)
{
    return root + QStringLiteral("/.tarnex-update");
}

QString stagingFolder(const QString &root)
{
    return workFolder(root) + QStringLiteral("/new");
}

QString lockPath(const QString &root)
{
    return root + QStringLiteral("/.tarnex-update.lock");
}

void killPoint(const char *step)
{
    if (qEnvironmentVariable("TARNEX_UPDATE_KILL_AT") == QLatin1String(step)) {
        qCWarning(lcUpdate) << "killed at the update step" << step;
#ifdef Q_OS_WIN
        // No signals there: end at once, as a killed process would, without any clean-up.
        std::_Exit(9);
#else
        std::raise(SIGKILL);
#endif
    }
}

QString switchOver(const QString &root, const QStringList &folders, const QStringList &leaves,
                   const QString &version, QStringList *written)
{
    Journal journal;
    journal.state = QStringLiteral("switching");
    journal.version = version;
    for (const QString &folder : folders) {
        if (!QFileInfo(root + QLatin1Char('/') + folder).isDir())
            journal.folders.append(folder);
    }
    // The client program last: until it is switched, the client that starts is the old one,
    // which rolls the switch back.
    QStringList order = leaves;
    const QString client = RunningClient::clientProgramName();
    if (order.removeAll(client) > 0)
        order.append(client);
    for (const QString &leaf : qAsConst(order))
        journal.entries.append({leaf, entryExists(root + QLatin1Char('/') + leaf)});
    if (!writeJournal(root, journal))
        return QStringLiteral("cannot write the update journal");
    killPoint("before");

    QString error;
    for (const QString &folder : qAsConst(journal.folders)) {
        if (!QDir(root).mkdir(folder)) {
            error = QStringLiteral("cannot create the folder %1").arg(folder);
            break;
        }
    }
    for (int i = 0; error.isEmpty() && i < journal.entries.size(); ++i) {
        const Entry &entry = journal.entries.at(i);
        const QString destination = root + QLatin1Char('/') + entry.path;
        if (entry.hadOld && !keepOld(destination, oldSlot(root, entry.path))) {
            error = QStringLiteral("cannot set %1 aside").arg(entry.path);
            break;
        }
        if (!renameOver(newSlot(root, entry.path), destination)) {
            error = QStringLiteral("cannot move %1 into place").arg(entry.path);
            break;
        }
        written->append(entry.path);
        if (i == journal.entries.size() / 2)
            killPoint("during");
    }
    if (!error.isEmpty()) {
        rollBack(root, journal);
        QDir(workFolder(root)).removeRecursively();
        written->clear();
        return error;
    }
    QStringList touched;
    for (const Entry &entry : qAsConst(journal.entries))
        touched << QFileInfo(root + QLatin1Char('/') + entry.path).path();
    touched.removeDuplicates();
    for (const QString &folder : qAsConst(touched))
        syncFolder(folder);
    journal.state = QStringLiteral("switched");
    if (!writeJournal(root, journal)) {
        rollBack(root, journal);
        QDir(workFolder(root)).removeRecursively();
        written->clear();
        return QStringLiteral("cannot write the update journal");
    }
    killPoint("after");
    QDir(stagingFolder(root)).removeRecursively();
    return QString();
}

Recovery recoverLocked(const QString &root, bool newVersionStarted)
{
    const QString work = workFolder(root);
    if (!QFileInfo(work).isDir())
        return Recovery::Nothing;
    Journal journal;
    if (!readJournal(root, &journal)) {
        // Staged, never switched: nothing outside the work folder was touched.
        QDir(work).removeRecursively();
        return Recovery::Nothing;
    }
    if (journal.state == QLatin1String("switched")) {
        if (!newVersionStarted)
            return Recovery::Nothing;
        qCInfo(lcUpdate).noquote()
            << "version" << journal.version << "started once; its predecessor's files are removed";
        QDir(work).removeRecursively();
        return Recovery::Finished;
    }
    qCWarning(lcUpdate).noquote() << "an update to" << journal.version
                                  << "was cut off midway; rolling it back";
    rollBack(root, journal);
    QDir(work).removeRecursively();
    return Recovery::RolledBack;
}

Recovery recover(const QString &root, bool newVersionStarted)
{
    if (!QFileInfo(workFolder(root)).isDir())
        return Recovery::Nothing;
    QLockFile lock(lockPath(root));
    if (!lock.tryLock(0))
        return Recovery::Busy;
    return recoverLocked(root, newVersionStarted);
}

} // namespace InstallJournal
