#pragma once

#include "nodepeer.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>

// Starts the Node reference server on a free loopback port for one test and stops it afterwards.
class ReferenceServer
{
public:
    // Starts `node server/server.js --port <port> --test-hooks <extraArgs>` and waits for its
    // port (0: a free one; a restart passes the port it had).
    bool start(const QStringList &extraArgs = {}, int port = 0);
    // The same over https and wss, with a PEM certificate and its key.
    bool startTls(const QString &certificate, const QString &key, const QStringList &extraArgs = {},
                  int port = 0);
    void stop() { m_peer.stop(); }

    int port() const { return m_peer.port(); }
    // "127.0.0.1:<port>": a server address as a user types it (no scheme; "https://" first
    // when the server runs TLS).
    QString address() const;
    // "http://127.0.0.1:<port>"
    QUrl baseUrl() const { return m_peer.baseUrl(); }
    // Synchronous POST of `body` to /__hooks/<name>; the reply's JSON object (empty on failure).
    QJsonObject hook(const QString &name, const QJsonObject &body = {}) const;
    // Returns once the server has answered a request of its own sent now, with the event loop
    // running meanwhile: a barrier for "nothing else happens" checks, as whatever the client sent
    // before has reached the server and its answers have had their turn.
    bool roundTrip() const;
    // What the server printed so far, for failure messages.
    QString output() const { return m_peer.output(); }

    // Pauses and resumes the server process (SIGSTOP / SIGCONT) to simulate a frozen peer.
    void freeze() { m_peer.freeze(); }
    void thaw() { m_peer.thaw(); }

    static QString sourceDir();

private:
    NodePeer m_peer;
};
