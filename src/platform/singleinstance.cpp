#include "singleinstance.h"

#include "logging.h"
#include "platform/privatefiles.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {
constexpr int kAskLimitMs = 3000;
const QByteArray kRaise = QByteArrayLiteral("raise\n");
} // namespace

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(QDir::cleanPath(folder))
{
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(m_folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
#ifdef Q_OS_WIN
    // Pipe names are per machine, and the pipe admits this user only (UserAccessOption).
    m_runtimeFolder = m_folder;
    m_socketName = QStringLiteral("tarnex-") + hash;
#else
    // A name in the shared temporary folder could be taken first by another local user; a path
    // in a folder only this user can enter cannot, nor can anyone else reach the socket.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    m_runtimeFolder = !runtime.isEmpty() && isPrivateFolder(runtime)
                          ? runtime + QStringLiteral("/tarnex-") + hash
                          : m_folder + QStringLiteral("/run");
    m_socketName = m_runtimeFolder + QStringLiteral("/instance.socket");
#endif
}

bool SingleInstance::isPrivateFolder(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return true;
#else
    const QFileInfo info(path);
    constexpr QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    return info.isDir() && !info.isSymLink() && info.ownerId() == ::getuid() &&
           !(info.permissions() & others);
#endif
}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::claim()
{
    PrivateFiles::makeFolder(m_folder, QFileInfo(m_folder).path());
    PrivateFiles::makeFolder(m_runtimeFolder, QFileInfo(m_runtimeFolder).path());
    if (!isPrivateFolder(m_runtimeFolder))
        qCWarning(lcDesktop) << m_runtimeFolder << "is open to other users";
    m_lock = std::make_unique<QLockFile>(m_runtimeFolder + QStringLiteral("/instance.lock"));
    // A dead owner's lock is stale at once; a live owner's never is.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(100)) {
        m_lock.reset();
        m_otherAnswered = askRunningClient();
        if (!m_otherAnswered)
            qCWarning(lcDesktop) << "another client holds" << m_folder
                                 << "but did not answer; this start ends";
        return false;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a killed client would refuse the name.
    QLocalServer::removeServer(m_socketName);
    if (!m_server->listen(m_socketName))
        qCWarning(lcDesktop) << "cannot listen for later starts:" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(kRaise.trimmed()))
                    emit raiseRequested();
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

bool SingleInstance::askRunningClient() const
{
    // The running client may still be starting and not listen yet: ask for a little while.
    const QDeadlineTimer deadline(kAskLimitMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_socketName);
        if (socket.waitForConnected(500)) {
            socket.write(kRaise);
            const bool sent = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(100);
    }
    return false;
}

void SingleInstance::release()
{
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
    if (m_lock) {
        m_lock->unlock();
        m_lock.reset();
    }
}
