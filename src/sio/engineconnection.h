#pragma once

#include "packet.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSslError>
#include <QStringView>
#include <QTimer>
#include <QUrl>

#include <functional>

class QWebSocket;

namespace sio {

// One Engine.IO connection over one QWebSocket: the open handshake, the heartbeat of its protocol
// version, the frame size limit. It knows nothing of namespaces; Socket.IO packets pass through it
// as text. Lives on the client's I/O thread; reports its end exactly once through `ended`, unless
// the owner let it go with `dispose`.
class EngineConnection : public QObject
{
    Q_OBJECT
public:
    // Asked on the I/O thread when a wss handshake fails verification: true lets the connection
    // go on, ignoring exactly these errors.
    using CertificateJudge = std::function<bool(const QUrl &url, const QSslCertificate &leaf,
                                                const QList<QSslError> &errors)>;

    struct Options
    {
        QUrl url;
        int engineVersion = 4;
        int connectTimeoutMs = 20000;
        bool verifyPeer = true;
        CertificateJudge certificateJudge;
    };

    enum class Ending {
        Unreachable,   // no WebSocket came up (refused, unresolvable, TLS failure)
        Refused,       // the server answered but ended before its open packet
        TimedOut,      // no open packet within the connect timeout
        PingTimeout,   // the heartbeat rule of the version declared the link dead
        Closed,        // the WebSocket closed or failed after the open packet
        ProtocolError, // malformed input
    };
    Q_ENUM(Ending)

    // Where the Socket.IO packets go: called for every message with a view of the frame, valid
    // for the call only. A plain call instead of a signal, as the busy path makes no copy of it.
    class MessageSink
    {
    public:
        virtual void engineMessage(EngineConnection *connection, QStringView packet) = 0;

    protected:
        ~MessageSink() = default;
    };

    explicit EngineConnection(const Options &options, QObject *parent = nullptr);
    // Set before start; `dispose` lets go of it.
    void setMessageSink(MessageSink *sink) { m_sink = sink; }
    ~EngineConnection() override;

    void start();

    bool isOpen() const { return m_open && !m_ended; }
    int engineVersion() const { return m_options.engineVersion; }
    const OpenInfo &openInfo() const { return m_info; }

    // One Socket.IO packet as an Engine.IO message in its own text frame. Fails with a reason
    // when the connection is not open or the frame would exceed the server's maxPayload (then
    // `tooLarge` is set).
    bool sendMessage(const QString &packet, QString *error, bool *tooLarge = nullptr);
    // The same for a packet in two pieces (header and body), joined into the one frame.
    bool sendMessage(QStringView header, QStringView body, QString *error,
                     bool *tooLarge = nullptr);

    // Incoming frames and messages above this many bytes close the connection; it follows the
    // server's maxPayload once the open packet announces it, never above the cap.
    static constexpr qint64 incomingCap = 32 * 1024 * 1024;
    static constexpr qint64 incomingFloor = 8 * 1024 * 1024;
    static qint64 incomingLimit(qint64 maxPayload);

    // Ends the connection for a fault the owner found (malformed Socket.IO input).
    void fail(Ending ending, const QString &reason);

    // Lets the connection go quietly: no signal after this call. An open WebSocket gets a close
    // frame and up to `lingerMs` to finish; the object deletes itself afterwards.
    void dispose(int lingerMs = 1000);
    bool isLingering() const { return m_disposed && !m_finished; }

Q_SIGNALS:
    void opened();
    // An Engine.IO 4 server ping (the owner takes it as a sign of the server's generation).
    void pingReceived();
    void ended(sio::EngineConnection::Ending ending, const QString &reason);
    // Emitted by a disposed connection once its socket is gone.
    void lingerFinished();

private:
    void onConnected();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError error);
    void onSslErrors(const QList<QSslError> &errors);
    void onTextMessage(const QString &frame);
    void onBinaryMessage();
    void onPacket(const EnginePacket &packet);
    void onConnectTimeout();
    void onDeadLink();
    void armDeadTimer(int ms);
    // Engine.IO 3: a packet arrived, which moves the dead-link limit on.
    void sawTraffic();
    void onPingDue();
    void sendFrame(EngineType type, const QString &data = QString());
    void protocolError(const QString &reason);
    void end(Ending ending, const QString &reason);
    void finishLinger();

    void deliver(QStringView packet);

    Options m_options;
    MessageSink *m_sink = nullptr;
    OpenInfo m_info;
    QWebSocket *m_socket = nullptr;
    QTimer m_connectTimer;
    // Engine.IO 4: pingInterval + pingTimeout since the last server ping. Engine.IO 3:
    // pingTimeout after our ping, pingInterval + pingTimeout after any received packet.
    QTimer m_deadTimer;
    QElapsedTimer m_clock;
    qint64 m_deadArmedMs = 0; // on m_clock, when the dead timer was last armed
    qint64 m_lastSeenMs = -1; // on m_clock, the last packet (Engine.IO 3)
    QTimer m_pingTimer;       // Engine.IO 3 only: when our next ping is due
    QTimer m_lingerTimer;
    bool m_webSocketUp = false;
    bool m_open = false;
    bool m_ended = false;
    bool m_disposed = false;
    bool m_finished = false;
    bool m_binaryLogged = false;
    bool m_untrusted = false;
};

} // namespace sio
