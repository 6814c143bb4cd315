#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

// Starts the Node reference server on a free loopback port for one test and stops it afterwards.
class ReferenceServer
{
public:
    ReferenceServer() = default;
    ~ReferenceServer();
    ReferenceServer(const ReferenceServer &) = delete;
    ReferenceServer &operator=(const ReferenceServer &) = delete;

    // Starts `node server/server.js --port 0 --test-hooks <extraArgs>` and waits for its port.
    bool start(const QStringList &extraArgs = {});
    void stop();

    int port() const { return m_port; }
    // "127.0.0.1:<port>": a server address as a user types it (no scheme).
    QString address() const;
    // "http://127.0.0.1:<port>"
    QUrl baseUrl() const;
    // Synchronous POST of `body` to /__hooks/<name>; the reply's JSON object (empty on failure).
    QJsonObject hook(const QString &name, const QJsonObject &body = {}) const;
    // What the server printed so far, for failure messages.
    QString output() const;

    // Pauses and resumes the server process (SIGSTOP / SIGCONT) to simulate a frozen peer.
    void freeze();
    void thaw();

    static QString sourceDir();

private:
    QProcess m_process;
    int m_port = 0;
    mutable QByteArray m_output;
};
