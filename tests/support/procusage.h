#pragma once

// Memory from /proc: this process's resident and peak sizes, a process tree's proportional set
// sizes (PSS) and the web engine's processes, for the memory benchmarks and the start-up test.
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>

namespace procusage {

// kB of "Pss:" in /proc/<pid>/smaps_rollup; 0 when unreadable.
inline qint64 pssOf(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// kB of `field` ("VmRSS", "VmHWM", ...) in /proc/self/status; 0 when unreadable.
inline qint64 statusKb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Starts a fresh peak: VmHWM falls back to the current RSS.
inline void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

inline QString commandOf(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().trimmed()) : QString();
}

// Every process below `root`, at any depth.
inline QStringList descendantsOf(const QString &root)
{
    QMap<QString, QString> parents;
    const QStringList pids =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = file.readAll();
        // The command name is in parentheses and may hold blanks; the parent follows the state.
        const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        parents.insert(pid, QString::fromLatin1(rest.value(1)));
    }
    QStringList found;
    QStringList frontier{root};
    while (!frontier.isEmpty()) {
        const QString parent = frontier.takeFirst();
        for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
            if (it.value() == parent) {
                found << it.key();
                frontier << it.key();
            }
        }
    }
    return found;
}

struct Usage
{
    qint64 selfKb = 0;
    qint64 childrenKb = 0;
    int webEngineProcesses = 0;
    bool webEngineMapped = false;
    qint64 totalKb() const { return selfKb + childrenKb; }
};

// The process and its descendants, leaving out those named `skipped` (a reference server).
inline Usage usageOf(const QString &root, const QString &skipped = QString())
{
    Usage result;
    result.selfKb = pssOf(root);
    for (const QString &pid : descendantsOf(root)) {
        const QString command = commandOf(pid);
        if (!skipped.isEmpty() && command == skipped)
            continue;
        result.childrenKb += pssOf(pid);
        if (command.startsWith(QLatin1String("QtWebEngine")))
            ++result.webEngineProcesses;
    }
    QFile maps(QStringLiteral("/proc/%1/maps").arg(root));
    result.webEngineMapped =
        maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt5WebEngineCore");
    return result;
}

} // namespace procusage
