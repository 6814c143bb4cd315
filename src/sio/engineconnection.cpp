#include "engineconnection.h"

#include "packetcodec.h"
#include "siolog.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QWebSocket>

namespace sio {

namespace {

// QWebSocket reports an HTTP answer other than 101 only in its error text (an HTTP 400 comes as
// "Unknown error condition"); every such text names the handshake step.
bool answeredHandshake(const QString &errorText)
{
    return errorText.contains(QLatin1String("processHandshake")) ||
           errorText.contains(QLatin1String("status code"));
}

} // namespace

EngineConnection::EngineConnection(const Options &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    for (QTimer *timer : {&m_connectTimer, &m_deadTimer, &m_pingTimer, &m_lingerTimer})
        timer->setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &EngineConnection::onConnectTimeout);
    connect(&m_deadTimer, &QTimer::timeout, this, &EngineConnection::onDeadLink);
    connect(&m_pingTimer, &QTimer::timeout, this, &EngineConnection::onPingDue);
    connect(&m_lingerTimer, &QTimer::timeout, this, &EngineConnection::finishLinger);
}

EngineConnection::~EngineConnection()
{
    if (m_socket) {
        // Nothing may reach us from a socket that outlives this object's signals.
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void EngineConnection::start()
{
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    // One frame per packet: never split a message into continuation frames.
    m_socket->setOutgoingFrameSize(QWebSocket::maxOutgoingFrameSize());
    // Qt would accept about 2 GiB per message; until the open packet tells more, the cap holds.
    m_socket->setMaxAllowedIncomingFrameSize(quint64(incomingCap));
    m_socket->setMaxAllowedIncomingMessageSize(quint64(incomingCap));
    if (!m_options.verifyPeer) {
        QSslConfiguration ssl = m_socket->sslConfiguration();
        ssl.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_socket->setSslConfiguration(ssl);
        connect(m_socket, &QWebSocket::sslErrors, m_socket,
                QOverload<>::of(&QWebSocket::ignoreSslErrors));
    } else {
        // Direct: the handshake waits for the answer.
        connect(m_socket, &QWebSocket::sslErrors, this, &EngineConnection::onSslErrors,
                Qt::DirectConnection);
    }
    connect(m_socket, &QWebSocket::connected, this, &EngineConnection::onConnected);
    connect(m_socket, &QWebSocket::disconnected, this, &EngineConnection::onDisconnected);
    connect(m_socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            &EngineConnection::onError);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &EngineConnection::onTextMessage);
    connect(m_socket, &QWebSocket::binaryMessageReceived, this, &EngineConnection::onBinaryMessage);
    m_connectTimer.start(qMax(1, m_options.connectTimeoutMs));
    m_clock.start();
    qCDebug(lcSio) << "connecting to" << m_options.url.toString(QUrl::RemoveQuery);
    m_socket->open(m_options.url);
}

qint64 EngineConnection::incomingLimit(qint64 maxPayload)
{
    // The server's own limit is for what it accepts; what it sends (a history reply) may be
    // larger, so allow a few times that, within fixed bounds.
    return qBound(incomingFloor, maxPayload * 8, incomingCap);
}

bool EngineConnection::sendMessage(const QString &packet, QString *error, bool *tooLarge)
{
    return sendMessage(packet, QStringView(), error, tooLarge);
}

bool EngineConnection::sendMessage(QStringView header, QStringView body, QString *error,
                                   bool *tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    if (!isOpen() || m_disposed) {
        if (error)
            *error = QStringLiteral("not connected");
        return false;
    }
    const qint64 bytes = 1 + PacketCodec::utf8Length(header) + PacketCodec::utf8Length(body);
    if (bytes > m_info.maxPayload) {
        if (tooLarge)
            *tooLarge = true;
        if (error)
            *error = QStringLiteral("frame of %1 bytes exceeds the server's limit of %2 bytes")
                         .arg(bytes)
                         .arg(m_info.maxPayload);
        return false;
    }
    // One string for the whole frame, built once.
    QString frame;
    frame.reserve(1 + int(header.size() + body.size()));
    frame += QChar(QLatin1Char(char('0' + int(EngineType::Message))));
    frame.append(header.data(), int(header.size()));
    frame.append(body.data(), int(body.size()));
    m_socket->sendTextMessage(frame);
    return true;
}

void EngineConnection::fail(Ending ending, const QString &reason)
{
    end(ending, reason);
}

void EngineConnection::dispose(int lingerMs)
{
    if (m_disposed)
        return;
    m_disposed = true;
    disconnect(this, &EngineConnection::opened, nullptr, nullptr);
    m_sink = nullptr;
    disconnect(this, &EngineConnection::pingReceived, nullptr, nullptr);
    disconnect(this, &EngineConnection::ended, nullptr, nullptr);
    m_connectTimer.stop();
    m_deadTimer.stop();
    m_pingTimer.stop();
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState && !m_ended) {
        // A close frame, so the server sees an orderly leave and what we sent before still goes
        // out; the linger timer bounds the wait for a server that does not answer.
        m_socket->close();
        m_lingerTimer.start(qMax(0, lingerMs));
        return;
    }
    finishLinger();
}

void EngineConnection::finishLinger()
{
    if (m_finished)
        return;
    m_finished = true;
    m_lingerTimer.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    Q_EMIT lingerFinished();
    deleteLater();
}

void EngineConnection::onConnected()
{
    m_webSocketUp = true;
    qCDebug(lcSio) << "WebSocket up; waiting for the open packet";
}

void EngineConnection::onDisconnected()
{
    if (m_disposed) {
        finishLinger();
        return;
    }
    QString reason = m_socket->closeReason();
    if (reason.isEmpty())
        reason = QStringLiteral("WebSocket closed (code %1)").arg(int(m_socket->closeCode()));
    if (m_socket->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData)
        qCWarning(lcSio).noquote()
            << "closing: the server sent more than the incoming limit of"
            << m_socket->maxAllowedIncomingMessageSize() << "bytes -" << reason;
    if (m_open)
        end(Ending::Closed, reason);
    else
        end(m_webSocketUp ? Ending::Refused : Ending::Unreachable, reason);
}

void EngineConnection::onError(QAbstractSocket::SocketError error)
{
    if (m_disposed)
        return;
    const QString reason = m_socket->errorString();
    qCDebug(lcSio) << "WebSocket error" << error << reason;
    if (m_open)
        end(Ending::Closed, reason);
    else if (m_webSocketUp)
        end(Ending::Refused, reason);
    else if (answeredHandshake(reason))
        end(Ending::Refused,
            QStringLiteral("the server refused the WebSocket handshake (%1)").arg(reason));
    else if (m_untrusted)
        end(Ending::Unreachable,
            QStringLiteral("the server's certificate is not trusted (%1)").arg(reason));
    else
        end(Ending::Unreachable, reason);
}

void EngineConnection::onSslErrors(const QList<QSslError> &errors)
{
    // The WebSocket's own configuration is the one it was given; the peer's chain is on its TLS
    // socket.
    QSslCertificate leaf;
    if (const auto *tls = m_socket->findChild<QSslSocket *>())
        leaf = tls->peerCertificate();
    for (int i = 0; leaf.isNull() && i < errors.size(); ++i)
        leaf = errors.at(i).certificate();
    if (m_options.certificateJudge && m_options.certificateJudge(m_options.url, leaf, errors)) {
        m_socket->ignoreSslErrors(errors);
        return;
    }
    m_untrusted = true;
}

void EngineConnection::onTextMessage(const QString &frame)
{
    if (m_ended || m_disposed)
        return;
    // Messages are nearly every frame: they go on as a view of it, with no copy.
    if (m_open && !frame.isEmpty() && frame.at(0) == QLatin1Char('4')) {
        // Engine.IO 3: whatever arrives shows the server is alive.
        if (m_options.engineVersion == 3)
            sawTraffic();
        deliver(QStringView(frame).mid(1));
        return;
    }
    EnginePacket packet;
    QString error;
    if (!PacketCodec::decodeEngine(frame, &packet, &error)) {
        protocolError(error + QStringLiteral(": ") + frame.left(80));
        return;
    }
    onPacket(packet);
}

void EngineConnection::onBinaryMessage()
{
    if (m_binaryLogged)
        return;
    m_binaryLogged = true;
    qCWarning(lcSio) << "binary frames are not supported; dropped";
}

void EngineConnection::onPacket(const EnginePacket &packet)
{
    const int interval = m_info.pingInterval;
    const int timeout = m_info.pingTimeout;
    if (!m_open) {
        if (packet.type != EngineType::Open) {
            protocolError(QStringLiteral("first packet is not an open packet"));
            return;
        }
        QString error;
        if (!PacketCodec::decodeOpen(packet.data, &m_info, &error)) {
            protocolError(error);
            return;
        }
        m_open = true;
        m_connectTimer.stop();
        const quint64 limit = quint64(incomingLimit(m_info.maxPayload));
        m_socket->setMaxAllowedIncomingFrameSize(limit);
        m_socket->setMaxAllowedIncomingMessageSize(limit);
        armDeadTimer(m_info.pingInterval + m_info.pingTimeout);
        if (m_options.engineVersion == 3)
            m_pingTimer.start(m_info.pingInterval);
        qCDebug(lcSio) << "open: Engine.IO" << m_options.engineVersion << "ping"
                       << m_info.pingInterval << "+" << m_info.pingTimeout << "ms, maxPayload"
                       << m_info.maxPayload;
        Q_EMIT opened();
        return;
    }
    // Engine.IO 3: whatever arrives shows the server is alive.
    if (m_options.engineVersion == 3)
        sawTraffic();
    switch (packet.type) {
    case EngineType::Open:
        protocolError(QStringLiteral("second open packet"));
        return;
    case EngineType::Close:
        end(Ending::Closed, QStringLiteral("server sent a close packet"));
        return;
    case EngineType::Ping:
        if (m_options.engineVersion == 4) {
            sendFrame(EngineType::Pong, packet.data);
            armDeadTimer(interval + timeout);
            Q_EMIT pingReceived();
        }
        return;
    case EngineType::Pong:
        if (m_options.engineVersion == 3 && !m_pingTimer.isActive())
            m_pingTimer.start(interval);
        return;
    case EngineType::Message:
        deliver(packet.data);
        return;
    case EngineType::Upgrade:
    case EngineType::Noop:
        return;
    }
}

void EngineConnection::protocolError(const QString &reason)
{
    qCWarning(lcSio).noquote() << "dropping malformed input:" << reason;
    end(Ending::ProtocolError, QStringLiteral("parse error: ") + reason);
}

void EngineConnection::deliver(QStringView packet)
{
    if (m_sink)
        m_sink->engineMessage(this, packet);
}

void EngineConnection::onConnectTimeout()
{
    end(Ending::TimedOut,
        QStringLiteral("no open packet within %1 ms").arg(m_options.connectTimeoutMs));
}

void EngineConnection::armDeadTimer(int ms)
{
    m_deadArmedMs = m_clock.elapsed();
    m_deadTimer.start(ms);
}

void EngineConnection::sawTraffic()
{
    // Noted only: restarting the timer for every packet costs more than the packet's dispatch.
    // The timer, once due, looks at the last traffic and waits on if it was recent.
    m_lastSeenMs = m_clock.elapsed();
    if (!m_deadTimer.isActive())
        armDeadTimer(m_info.pingInterval + m_info.pingTimeout);
}

void EngineConnection::onDeadLink()
{
    if (m_options.engineVersion == 3 && m_lastSeenMs >= m_deadArmedMs) {
        const qint64 left =
            m_lastSeenMs + m_info.pingInterval + m_info.pingTimeout - m_clock.elapsed();
        if (left > 0) {
            armDeadTimer(int(left));
            return;
        }
    }
    end(Ending::PingTimeout, QStringLiteral("ping timeout"));
}

void EngineConnection::onPingDue()
{
    if (!isOpen())
        return;
    sendFrame(EngineType::Ping);
    // The next ping follows the pong; until then the answer must come within pingTimeout.
    armDeadTimer(m_info.pingTimeout);
}

void EngineConnection::sendFrame(EngineType type, const QString &data)
{
    m_socket->sendTextMessage(PacketCodec::encodeEngine(type, data));
}

void EngineConnection::end(Ending ending, const QString &reason)
{
    if (m_ended || m_disposed)
        return;
    m_ended = true;
    m_connectTimer.stop();
    m_deadTimer.stop();
    m_pingTimer.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    qCDebug(lcSio) << "connection ended:" << ending << reason;
    Q_EMIT ended(ending, reason);
}

} // namespace sio
