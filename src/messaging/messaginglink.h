#pragma once

#include <QJsonArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class ConfigFile;
class ParameterInfor;
class ServerTrust;
class SignalOutbox;
class QTimer;

namespace sio {
class Client;
class Socket;
} // namespace sio

// The engine's link: the one socket.io connection to the messaging service on namespace
// "/client", its sign-in, time-out and reconnection, and the certificate trust it waits for. It
// reads the server's address from `config` and `parameters` on each connection and asks `trust`
// about a certificate the system does not vouch for. Lives on the engine's thread, where its
// timers run; the client's listeners and the sign-in's acknowledgement come on the network thread
// and what they change is handed to the outbox's thread, in order with the events around it. Who
// sends over the link follows it through aboutToConnect(), signedIn() and linkDown().
class MessagingLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int connectTimeoutMs = 19000;
    static constexpr int reconnectDelayMs = 5000;
    static constexpr int closeWaitMs = 2000;

    MessagingLink(SignalOutbox &outbox, ConfigFile &config, ParameterInfor &parameters,
                  ServerTrust &trust, QObject *parent = nullptr);
    // Closes the link as shutdown() does.
    ~MessagingLink() override;

    // The "/client" namespace, for the handlers and requests of the other parts.
    std::shared_ptr<sio::Socket> socket() const { return m_socket; }

    // Sign-in time limit and delay before a reconnection (a random fifth of it is added).
    void setTimings(int connectMs, int reconnectMs);
    static int reconnectDelay(int baseMs, quint32 draw);
    // The Engine.IO version of the next connections: 0 detects it, 3 or 4 insists on it.
    void setEngineVersion(int version);

    // Who signs in on the next connection; userId() is read on either thread.
    void setLoginIdentity(const QString &userId, const QString &deptId, const QString &roleId);
    QString userId() const;
    // The link is signed in (engine's thread).
    bool isSignedIn() const { return m_signedIn; }

    void connectServer();
    // A dropped link is tried again now; nothing while signed in, after a leave or before the
    // first connectServer().
    void reconnectNow();
    // The leave notice and the close; no reconnection until the next connectServer().
    void disConnectServer();
    // Signing out: leaves and closes, then waits (bounded) until no handler of the old link runs
    // any more. forgetIdentity() afterwards makes the next account start as after a restart.
    void leaveAccount();
    void forgetIdentity();
    // The last thing: the leave notice (bounded), the connection closed and the network thread
    // joined, in three steps so the sender can write its outbox while the client still exists.
    // False from isOpen() afterwards.
    void shutdown();
    void stopTimers();
    void closeClient();
    bool isOpen() const { return bool(m_client); }

    // The sign-in's acknowledgement (network thread, or a test's hand-over); `first` for the
    // sign-in of a new connection, not a repeated one.
    void applyLoginReply(const QJsonArray &ack, bool first);

public slots:
    void onConnected(const QString &nsp);
    void onSigConnectServer();
    void onReconnect();
    void onRestartLogin();
    void onFailed();
    void onHeartInfor();
    void onDisconnected();
    void onReconnectListener();
    void onConnectServerTimeout();
    // A certificate was trusted: a link that waits for it connects again.
    void onServerTrusted();

signals:
    void sigNetworkdisconnect(bool status);
    void sigConnectServer(bool status);
    void sigConnectServer();
    void sigReconnectInfor();
    void sigConnecting();
    void sigReconnectScheduled(int delayMs);
    void sigLoginStatus(bool status, int types, const QString &errors);

    // A connection for the current identity is about to replace the link.
    void aboutToConnect();
    // Signed in: what waited for the link may go out (before sigConnectServer(true)).
    void signedIn();
    // The link is down or being replaced; `dead` when it dropped by itself (heartbeat, server
    // close, network) rather than on the client's own decision.
    void linkDown(bool dead);

private:
    void bindClient();
    void sendLogin(bool first);
    void scheduleReconnect();
    void startReconnectTimer();
    void takeDown(bool dead = false);
    void deliver(std::function<void()> emission);

    SignalOutbox &m_outbox;
    ConfigFile &m_config;
    ParameterInfor &m_parameters;
    ServerTrust &m_trust;

    std::unique_ptr<sio::Client> m_client;
    std::shared_ptr<sio::Socket> m_socket;
    QTimer *m_connetTimer = nullptr;
    QTimer *m_reconnectTimer = nullptr;
    QTimer *m_restartLoginTimer = nullptr;
    int m_connectTimeoutMs = connectTimeoutMs;
    int m_reconnectDelayMs = reconnectDelayMs;

    mutable std::mutex m_identityMutex;
    QString m_userId;
    QString m_deptId;
    QString m_roleId;
    QString m_currentServerIp;

    std::atomic<bool> m_hasLoggedIn{false};
    // Set by disConnectServer(): a drop is then expected and not retried.
    std::atomic<bool> m_leaving{false};
    // Set on the network thread when the server's certificate was refused; the failure that
    // follows then waits for the user instead of retrying into the same refusal.
    std::atomic<bool> m_certificateRefused{false};
    bool m_awaitingTrust = false;
    // Engine's thread only.
    bool m_signedIn = false;
    bool m_connectAsked = false;
};
