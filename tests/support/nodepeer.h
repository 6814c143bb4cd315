#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

// Runs a Node script as a test peer on a free loopback port: the script prints
// "listening on http[s]://127.0.0.1:<port>" once it is ready and serves JSON controls at
// POST /__control/<name>. Stops the process when destroyed; a frozen peer is thawed first.
class NodePeer
{
public:
    NodePeer() = default;
    ~NodePeer();
    NodePeer(const NodePeer &) = delete;
    NodePeer &operator=(const NodePeer &) = delete;

    // `node <script> --port <port> <args>`; waits (bounded) for the listening line.
    bool start(const QString &script, const QStringList &args = {}, int port = 0);
    void stop();

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" or "https://..." as the peer printed it.
    QUrl baseUrl() const { return m_baseUrl; }
    // Synchronous POST of `body` to /__control/<name> (certificate not checked); the reply's
    // JSON object, empty on failure or after 10 s.
    QJsonObject control(const QString &name, const QJsonObject &body = {}) const;
    // Synchronous POST of `body` to any path of the peer, with the same rules as control().
    QJsonObject post(const QString &path, const QJsonObject &body = {}) const;
    QString output() const;

    // SIGSTOP / SIGCONT: a peer that stops answering without closing anything.
    void freeze();
    void thaw();

private:
    QProcess m_process;
    int m_port = 0;
    QUrl m_baseUrl;
    bool m_frozen = false;
    mutable QByteArray m_output;
};
