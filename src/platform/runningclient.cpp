#include "runningclient.h"

#include "logging.h"
#include "platform/privatefiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
struct ProcessMark
{
    bool running = false;
    QByteArray startTime; // clock ticks after boot; tells a reused process number apart
};

// What /proc tells about a process; an exited or reaped-pending (zombie) one is not running.
ProcessMark processMark(qint64 pid)
{
    ProcessMark mark;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return mark;
    const QByteArray line = stat.readAll();
    // The command name may hold spaces and parentheses; the fields after the last ")" do not.
    const int close = line.lastIndexOf(')');
    if (close < 0)
        return mark;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // fields[0] is the state (field 3 of the line), fields[19] the start time (field 22).
    if (fields.size() < 20)
        return mark;
    mark.running = fields.at(0) != "Z" && fields.at(0) != "X";
    mark.startTime = fields.at(19);
    return mark;
}

bool stillRunning(qint64 pid, const QByteArray &startTime)
{
    const ProcessMark mark = processMark(pid);
    return mark.running && mark.startTime == startTime;
}

bool waitForEnd(qint64 pid, const QByteArray &startTime, int limitMs)
{
    QDeadlineTimer deadline(limitMs);
    while (stillRunning(pid, startTime)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}
#endif

} // namespace

QString RunningClient::clientProgramName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("tarnex.exe");
#else
    return QStringLiteral("tarnex");
#endif
}

QString RunningClient::updaterProgramIn(const QString &installation)
{
#ifdef Q_OS_WIN
    return installation + QStringLiteral("/update/tarnex-update.exe");
#else
    return installation + QStringLiteral("/update/tarnex-update");
#endif
}

QString RunningClient::lockFileIn(const QString &settingsFolder)
{
    return settingsFolder + QStringLiteral("client.lock");
}

void RunningClient::recordThisProcess(const QString &lockPath)
{
#ifdef Q_OS_UNIX
    const qint64 pid = QCoreApplication::applicationPid();
    const QByteArray record = QByteArray::number(pid) + '\n' + processMark(pid).startTime + '\n';
    const QString &path = lockPath;
    PrivateFiles::prepareFile(path);
    QFile lock(path);
    if (!lock.open(QIODevice::WriteOnly | QIODevice::Truncate) || lock.write(record) < 0) {
        qCWarning(lcUpdate) << "cannot record the client in" << path;
        return;
    }
    lock.close();
    // A restarted copy writes its own record; only ours is removed.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [path, record] {
        QFile current(path);
        if (current.open(QIODevice::ReadOnly) && current.readAll() == record) {
            current.close();
            QFile::remove(path);
        }
    });
#else
    Q_UNUSED(lockPath)
#endif
}

bool RunningClient::endRecordedClient(const QString &lockPath, int graceMs, int killWaitMs)
{
#ifdef Q_OS_WIN
    Q_UNUSED(lockPath)
    Q_UNUSED(graceMs)
    Q_UNUSED(killWaitMs)
    QProcess::startDetached(QStringLiteral("taskkill"),
                            {QStringLiteral("/F"), QStringLiteral("/im"), clientProgramName()});
    return true;
#elif defined(Q_OS_UNIX)
    const QString &path = lockPath;
    QFile lock(path);
    // Only a record of this user's names a process to end.
    if (QFileInfo(path).ownerId() != ::getuid() || !lock.open(QIODevice::ReadOnly))
        return true;
    const QList<QByteArray> lines = lock.readAll().split('\n');
    lock.close();
    bool ok = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
    const QByteArray startTime = lines.value(1).trimmed();
    if (!ok || pid <= 1 || pid == QCoreApplication::applicationPid() || startTime.isEmpty() ||
        !stillRunning(pid, startTime)) {
        QFile::remove(path);
        return true;
    }
    qCInfo(lcUpdate) << "ending the running client" << pid;
    ::kill(pid_t(pid), SIGTERM);
    if (!waitForEnd(pid, startTime, graceMs)) {
        qCWarning(lcUpdate) << "the client did not end in time; killing" << pid;
        ::kill(pid_t(pid), SIGKILL);
        if (!waitForEnd(pid, startTime, killWaitMs))
            return false;
    }
    QFile::remove(path);
    return true;
#else
    Q_UNUSED(graceMs)
    Q_UNUSED(killWaitMs)
    return true;
#endif
}
