#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

// One client per user session. The first start holds a lock file and listens on a local socket,
// both in a folder only the user can enter (below XDG_RUNTIME_DIR, else below the settings
// folder); a later start finds the lock taken, asks the first one to show its window and ends.
// A lock left by a client that was killed (the updater ends it so) is stale and taken over.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // `folder` is the settings folder; its path also names the lock's folder and the local
    // socket, so each user (and each test home) has its own.
    explicit SingleInstance(const QString &folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one client (it then listens for later starts). False when
    // another client runs; it has been asked to raise its window.
    bool claim();
    // After a refused claim: whether the running client answered (and so shows its window).
    bool runningClientAnswered() const { return m_otherAnswered; }
    // Gives the lock and the socket up, so a restarted client can take them at once.
    void release();

    QString socketName() const { return m_socketName; }
    // Where the lock (and on Unix the socket) lives.
    QString runtimeFolder() const { return m_runtimeFolder; }

    // A folder of this user's, closed to everyone else.
    static bool isPrivateFolder(const QString &path);

signals:
    // A later start asked for the window.
    void raiseRequested();

private:
    bool askRunningClient() const;

    QString m_folder;
    QString m_runtimeFolder;
    QString m_socketName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    bool m_otherAnswered = false;
};
