#pragma once

#include "socket.h"

#include <QList>
#include <QMap>
#include <QSslError>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace sio {

class ClientShared;

// A socket.io client over QWebSocket, for servers of both generations: socket.io 3.x/4.x
// (Engine.IO 4, protocol 5) and 1.x/2.x (Engine.IO 3, protocol 4), told apart per server address
// and remembered for the process. Its network I/O runs on a thread of its own, which also runs
// every listener, event handler and acknowledgement callback. Every method may be called from any
// thread. The client never reconnects by itself: it reports fail / reconnecting and connects again
// when asked, with a fresh connection.
class Client
{
public:
    using Listener = std::function<void()>;
    using ReasonListener = std::function<void(const QString &reason)>;
    using SocketListener = std::function<void(const QString &nsp)>;
    using SocketCloseListener = std::function<void(const QString &nsp, const QString &reason)>;
    // Runs on the I/O thread when a wss certificate fails verification; true lets it pass.
    using CertificateJudge = std::function<bool(const QUrl &url, const QSslCertificate &leaf,
                                                const QList<QSslError> &errors)>;

    enum class EngineVersion { Detect = 0, V3 = 3, V4 = 4 };

    Client();
    // Closes, lets a close frame go out (bounded wait), stops the I/O thread. No listener,
    // handler or callback runs after it returns.
    ~Client();
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    // Connects to `base` (ws://, wss://, http:// or https://, host and port; the path defaults to
    // "/socket.io/") with `query` on the URL. A connection that is still there is closed first.
    void connect(const QUrl &base, const QMap<QString, QString> &query = {});
    // Closes the connection, drops pending acknowledgement callbacks and waiting emits. Quiet: no
    // listener reports it. Safe in every state, also twice.
    void close();
    // Waits until the I/O thread has done what was asked of it before this call (at most
    // `limitMs`): after a close(), nothing of that connection runs any more. False on time-out.
    bool settle(int limitMs);
    // True between the open listener and the end of that connection.
    bool isOpen() const;

    // The socket of a namespace ("/client"); the same one for the same name. It joins on every
    // connection from then on.
    std::shared_ptr<Socket> socket(const QString &nsp = QStringLiteral("/"));

    // The connection is up (after the server's open packet and, for a new server address, once
    // its generation is known).
    void setOpenListener(Listener listener);
    // A connection attempt ended before it was up.
    void setFailListener(ReasonListener listener);
    // A connection that was up ended (ping timeout, server close, network error, malformed input).
    void setReconnectingListener(ReasonListener listener);
    // A namespace's join was answered.
    void setSocketOpenListener(SocketListener listener);
    // A namespace's join was refused or the server left it.
    void setSocketCloseListener(SocketCloseListener listener);
    void clearListeners();

    // Settings for the next connect.
    // Time for the WebSocket and the server's open packet; default 20 s.
    void setConnectTimeout(int ms);
    // wss:// only; on by default.
    void setPeerVerification(bool verify);
    // With verification on, a certificate the system store refuses passes when the judge says so.
    void setCertificateJudge(CertificateJudge judge);
    // Detect (the default) or insist on one generation.
    void setEngineVersion(EngineVersion version);
    // How long an acknowledgement may take; default 30 s.
    void setAckTimeout(int ms);

private:
    std::shared_ptr<ClientShared> m_shared;
    QThread *m_thread = nullptr;
    mutable std::mutex m_mutex;
    QMap<QString, std::shared_ptr<Socket>> m_sockets;
    int m_connectTimeoutMs = 20000;
    int m_ackTimeoutMs = 30000;
    bool m_verifyPeer = true;
    CertificateJudge m_certificateJudge;
    EngineVersion m_engineVersion = EngineVersion::Detect;
};

} // namespace sio
