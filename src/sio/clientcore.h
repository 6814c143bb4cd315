#pragma once

#include "engineconnection.h"
#include "packet.h"
#include "socket.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

namespace sio {

class ClientShared;

// The Socket.IO side of a Client, living on its I/O thread: generation detection, namespace
// joins, event dispatch, acknowledgements in both directions, the wait queue of each namespace.
// Every method runs on the I/O thread. Owner callbacks may call back into it (close, connect,
// emit); after each callback it checks `m_epoch` and stops if the connection changed meanwhile.
class ClientCore : public QObject, private EngineConnection::MessageSink
{
    Q_OBJECT
public:
    struct Settings
    {
        int connectTimeoutMs = 20000;
        bool verifyPeer = true;
        EngineConnection::CertificateJudge certificateJudge;
        int engineVersion = 0; // 0: detect per server address
        // How long an acknowledgement may take before its emit counts as failed.
        int ackTimeoutMs = 30000;
    };

    // Limits of the wait queue of one namespace while it is not open.
    static constexpr int maxQueuedEmits = 10000;
    static constexpr qint64 maxQueuedBytes = 32 * 1024 * 1024;
    // Events kept for a namespace whose join is not answered yet.
    static constexpr int maxEarlyEvents = 1000;
    // Acknowledgements awaited at once; an emit beyond them fails at once, so a server that never
    // answers cannot grow our memory.
    static constexpr int maxPendingAcks = 10000;

    explicit ClientCore(std::shared_ptr<ClientShared> shared);
    ~ClientCore() override;

    void connectTo(const QUrl &base, const QMap<QString, QString> &query, const Settings &settings);
    void close();
    // Last call before deletion: closes and waits (bounded) for a close frame to go out.
    void shutdown();
    void addNamespace(const std::shared_ptr<Socket> &socket);
    void emitEvent(const QString &nsp, const QString &event, const QString &json,
                   Socket::AckCallback ack, Socket::FailCallback onFailure = nullptr,
                   bool mayWait = true);

public Q_SLOTS:
    // Runs what other threads queued in ClientShared.
    void drainTasks();

private:
    enum class NspState { Idle, Joining, Opening, Open, Closed };
    struct Outgoing
    {
        QString event;
        QString json; // the EVENT body: [event, args...]
        Socket::AckCallback ack;
        Socket::FailCallback onFailure;
    };
    struct Namespace
    {
        std::shared_ptr<Socket> socket;
        NspState state = NspState::Idle;
        QList<Outgoing> queue;
        qint64 queuedBytes = 0;
        // Events the server sent before it answered the join, delivered once it opens.
        QList<Packet> early;
    };
    struct PendingAck
    {
        QString nsp;
        QString event;
        Socket::AckCallback callback;
        Socket::FailCallback onFailure;
        qint64 due = 0; // on m_clock
    };

    void startAttempt();
    void retryWithVersion(int version, const QString &why);
    void dropConnection(bool graceful);
    void resetNamespaces();
    void join(const QString &name, Namespace &ns);

    void onOpened(EngineConnection *connection);
    void onPing(EngineConnection *connection);
    void engineMessage(EngineConnection *connection, QStringView text) override;
    void onEnded(EngineConnection *connection, EngineConnection::Ending ending,
                 const QString &reason);
    void confirm();

    void handleConnect(const Packet &packet);
    void handleConnectError(const Packet &packet);
    void handleDisconnect(const Packet &packet);
    // Both take the packet's body away.
    void handleEvent(Packet &packet);
    void dispatchEvent(Packet &packet);
    void handleAck(const Packet &packet);
    // Events on an open namespace: read by the fast parser and handed to the raw handler, or
    // to the plain one as Qt's values. False when the packet is not such an event or the fast
    // parser refuses it (it then takes the general path).
    bool dispatchRaw(QStringView text);
    // An ACK for an emit that awaits it, read by the fast parser; false when the packet is not
    // such an ack or the parser refuses it (the general path then reads or reports it).
    bool dispatchAck(QStringView text);
    void answer(const Packet &packet, const Ack &ack, quint64 epoch);

    void openNamespace(const QString &name);
    bool joinPending() const;
    void send(const QString &nsp, Outgoing outgoing);
    bool sendPacket(const Packet &packet, const QString &body = QString());
    void dropAcks(const QString &nsp);
    void armAckTimer();
    void expireAcks();
    void dropQueue(Namespace &ns, const QString &why);
    void failed(Outgoing &outgoing, Socket::Failure failure, const QString &reason);
    Namespace *find(QStringView nsp);

    void notifyFail(const QString &reason);
    void notifyReconnecting(const QString &reason);

    const std::shared_ptr<ClientShared> m_shared;
    // Node-based: references survive insertions. Found by a view of the frame too.
    std::map<QString, Namespace, std::less<>> m_namespaces;
    // By id, which is the order they were sent in and so the order they fall due.
    QMap<qint64, PendingAck> m_acks;
    QTimer *m_ackTimer = nullptr;
    QElapsedTimer m_clock;
    qint64 m_nextAckId = 0;

    EngineConnection *m_connection = nullptr;
    QList<QPointer<EngineConnection>> m_lingering;
    quint64 m_epoch = 0;
    QUrl m_base;
    QMap<QString, QString> m_query;
    Settings m_settings;
    QString m_serverKey;
    int m_version = 4;
    bool m_switchAllowed = false;
    bool m_confirmed = false;
    bool m_defaultNspConnected = false;
    bool m_shuttingDown = false;
};

} // namespace sio
