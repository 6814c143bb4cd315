// The connection, its sign-in and its reconnection. What was in flight when the link goes away is
// the sender's business: it hears of it through linkDown().

#include "messaginglink.h"

#include "config/configfile.h"
#include "language/text.h"
#include "logging.h"
#include "messagepayloads.h"
#include "messagingaddress.h"
#include "net/servertrust.h"
#include "session/parameterinfor.h"
#include "signaloutbox.h"
#include "sio/client.h"
#include "sio/socket.h"

#include <QMap>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <QUrl>

namespace {

const QString clientNamespace = QStringLiteral("/client");
const QString loginFailed = QStringLiteral("连接服务器失败");

} // namespace

MessagingLink::MessagingLink(SignalOutbox &outbox, ConfigFile &config, ParameterInfor &parameters,
                             ServerTrust &trust, QObject *parent)
    : QObject(parent)
    , m_outbox(outbox)
    , m_config(config)
    , m_parameters(parameters)
    , m_trust(trust)
    , m_client(new sio::Client)
{
    m_connetTimer = new QTimer(this);
    m_reconnectTimer = new QTimer(this);
    m_restartLoginTimer = new QTimer(this);
    connect(m_reconnectTimer, &QTimer::timeout, this, &MessagingLink::onReconnect);
    connect(m_restartLoginTimer, &QTimer::timeout, this, &MessagingLink::onRestartLogin);
    connect(m_connetTimer, &QTimer::timeout, this, &MessagingLink::onConnectServerTimeout);
    connect(&m_trust, &ServerTrust::trusted, this, &MessagingLink::onServerTrusted);
    // First, so the timers stop before anyone else hears of the connection.
    connect(this, qOverload<>(&MessagingLink::sigConnectServer), this,
            &MessagingLink::onSigConnectServer);

    m_socket = m_client->socket(clientNamespace);
    bindClient();
}

MessagingLink::~MessagingLink()
{
    disconnect(m_connetTimer, &QTimer::timeout, this, &MessagingLink::onConnectServerTimeout);
    shutdown();
}

void MessagingLink::deliver(std::function<void()> emission)
{
    m_outbox.post(std::move(emission));
}

void MessagingLink::setTimings(int connectMs, int reconnectMs)
{
    m_connectTimeoutMs = qMax(1, connectMs);
    m_reconnectDelayMs = qMax(1, reconnectMs);
}

int MessagingLink::reconnectDelay(int baseMs, quint32 draw)
{
    const int base = qMax(1, baseMs);
    return base + int(draw % quint32(base / 5 + 1));
}

void MessagingLink::setEngineVersion(int version)
{
    if (!m_client)
        return;
    m_client->setEngineVersion(version == 3   ? sio::Client::EngineVersion::V3
                               : version == 4 ? sio::Client::EngineVersion::V4
                                              : sio::Client::EngineVersion::Detect);
}

void MessagingLink::shutdown()
{
    if (!m_client)
        return;
    disConnectServer();
    stopTimers();
    closeClient();
}

void MessagingLink::stopTimers()
{
    m_connetTimer->stop();
    m_reconnectTimer->stop();
    m_restartLoginTimer->stop();
}

void MessagingLink::closeClient()
{
    if (!m_client)
        return;
    m_socket->offAll();
    m_client->clearListeners();
    // The client's destructor lets the leave notice and the close frame out (bounded) and waits
    // for its network thread: no handler or acknowledgement runs after this line, while
    // everything they touch still exists.
    m_client.reset();
}

void MessagingLink::bindClient()
{
    m_client->setCertificateJudge(
        [this](const QUrl &url, const QSslCertificate &leaf, const QList<QSslError> &errors) {
            const bool accepted = m_trust.accept(url, leaf, errors);
            if (!accepted)
                m_certificateRefused = true;
            return accepted;
        });
    m_client->setOpenListener([this]() { onReconnectListener(); });
    m_client->setFailListener([this](const QString &reason) {
        qCDebug(lcMessaging) << "connection failed:" << reason;
        onFailed();
    });
    m_client->setReconnectingListener([this](const QString &reason) {
        qCDebug(lcMessaging) << "connection lost:" << reason;
        onDisconnected();
    });
    m_client->setSocketOpenListener([this](const QString &nsp) { onConnected(nsp); });
    // The service left "/client" (or refused it) while the connection stays: without the
    // namespace nothing more arrives, so it counts as a drop.
    m_client->setSocketCloseListener([this](const QString &nsp, const QString &reason) {
        if (nsp != clientNamespace)
            return;
        qCDebug(lcMessaging) << "namespace closed:" << reason;
        onDisconnected();
    });
}

void MessagingLink::setLoginIdentity(const QString &userId, const QString &deptId,
                                     const QString &roleId)
{
    std::lock_guard<std::mutex> lock(m_identityMutex);
    m_userId = userId;
    m_deptId = deptId;
    m_roleId = roleId;
}

QString MessagingLink::userId() const
{
    std::lock_guard<std::mutex> lock(m_identityMutex);
    return m_userId;
}

void MessagingLink::connectServer()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_client)
        return;
    m_leaving = false;
    m_connectAsked = true;
    const QString serverIp = m_config.getMainConfig(QStringLiteral("currentServerIp"));
    const QString url = MessagingAddress::build(serverIp, m_parameters.imHost(),
                                                m_parameters.imPort(), m_parameters.imPortHttps());
    QMap<QString, QString> query;
    {
        std::lock_guard<std::mutex> lock(m_identityMutex);
        m_currentServerIp = serverIp;
        query.insert(QStringLiteral("loginUserId"), m_userId);
        query.insert(QStringLiteral("loginDeptId"), m_deptId);
        query.insert(QStringLiteral("loginRoleId"), m_roleId);
    }
    qCDebug(lcMessaging) << "connecting to" << url;
    emit aboutToConnect();
    takeDown();
    // connect() replaces a connection that is still there; unlike close() it keeps what waits
    // to be sent.
    m_client->connect(QUrl(url), query);
    m_connetTimer->start(m_connectTimeoutMs);
    emit sigConnecting();
}

void MessagingLink::reconnectNow()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_client || !m_connectAsked || m_leaving || m_signedIn)
        return;
    qCInfo(lcMessaging) << "reconnecting at once";
    m_reconnectTimer->stop();
    connectServer();
}

void MessagingLink::disConnectServer()
{
    if (!m_client)
        return;
    m_leaving = true;
    if (QThread::currentThread() == thread()) {
        m_reconnectTimer->stop();
        m_connetTimer->stop();
        takeDown();
    }
    m_socket->emitEvent(
        QStringLiteral("disconnect"), QJsonArray{MessagePayloads::clientNotice(userId())},
        [](const QJsonArray &ack) {
            qCDebug(lcMessaging) << "leave notice acknowledged:" << ack.size() << "values";
        });
    // Sent before the close (the client keeps the order); 4.x services close on it anyway.
    m_client->close();
}

void MessagingLink::leaveAccount()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_client)
        return;
    disConnectServer();
    m_connectAsked = false;
    m_restartLoginTimer->stop();
    // After this no handler of the old link writes the stores.
    if (!m_client->settle(closeWaitMs))
        qCWarning(lcMessaging) << "the link did not settle within" << closeWaitMs << "ms";
}

void MessagingLink::forgetIdentity()
{
    m_hasLoggedIn = false;
    m_certificateRefused = false;
    m_awaitingTrust = false;
    std::lock_guard<std::mutex> lock(m_identityMutex);
    m_userId.clear();
    m_deptId.clear();
    m_roleId.clear();
    m_currentServerIp.clear();
}

void MessagingLink::onConnected(const QString &nsp)
{
    if (nsp != clientNamespace)
        return;
    deliver([this]() { emit sigNetworkdisconnect(true); });
    sendLogin(true);
    deliver([this]() { emit sigConnectServer(); });
}

void MessagingLink::onSigConnectServer()
{
    m_reconnectTimer->stop();
    m_restartLoginTimer->stop();
}

void MessagingLink::sendLogin(bool first)
{
    m_socket->emitEvent(QStringLiteral("login"), QJsonArray{QStringLiteral("success")},
                        [this, first](const QJsonArray &ack) { applyLoginReply(ack, first); });
}

void MessagingLink::applyLoginReply(const QJsonArray &ack, bool first)
{
    const bool success = !ack.isEmpty() && ack.first().toString() == QLatin1String("success");
    qCDebug(lcMessaging) << "login acknowledged:" << ack.size() << "values";
    const bool again = success && first && m_hasLoggedIn.exchange(true);
    deliver([this, success, first, again]() {
        m_connetTimer->stop();
        if (success && !m_leaving) {
            m_signedIn = true;
            // What waited for the link goes out first, in the order it was sent.
            emit signedIn();
        }
        emit sigConnectServer(success);
        if (again)
            emit sigReconnectInfor();
        if (!success)
            emit sigLoginStatus(
                false, 1,
                first ? loginFailed
                      : tarnex::text(QStringLiteral("connect_server_fail"), loginFailed));
    });
}

void MessagingLink::onRestartLogin()
{
    m_restartLoginTimer->stop();
    emit sigNetworkdisconnect(true);
    m_reconnectTimer->stop();
    sendLogin(false);
}

void MessagingLink::scheduleReconnect()
{
    deliver([this]() {
        takeDown(true);
        emit sigNetworkdisconnect(false);
        if (m_leaving)
            return;
        // The same certificate would be refused again: the user was told, and trusting it
        // connects at once (onServerTrusted), unless it was trusted before this failure came.
        if (m_certificateRefused.exchange(false) && !m_trust.lastRefusal().isNull()) {
            qCInfo(lcMessaging) << "certificate refused; waiting for the user to trust it";
            m_reconnectTimer->stop();
            m_connetTimer->stop();
            m_awaitingTrust = true;
            return;
        }
        startReconnectTimer();
    });
}

void MessagingLink::onServerTrusted()
{
    if (!m_awaitingTrust)
        return;
    m_awaitingTrust = false;
    reconnectNow();
}

void MessagingLink::startReconnectTimer()
{
    m_reconnectTimer->stop();
    m_reconnectTimer->start(
        reconnectDelay(m_reconnectDelayMs, QRandomGenerator::global()->generate()));
    emit sigReconnectScheduled(m_reconnectTimer->interval());
}

void MessagingLink::takeDown(bool dead)
{
    m_signedIn = false;
    emit linkDown(dead);
}

void MessagingLink::onFailed()
{
    scheduleReconnect();
}

void MessagingLink::onDisconnected()
{
    scheduleReconnect();
}

void MessagingLink::onReconnect()
{
    m_reconnectTimer->stop();
    connectServer();
}

void MessagingLink::onReconnectListener()
{
    qCDebug(lcMessaging) << "connection open";
}

void MessagingLink::onConnectServerTimeout()
{
    m_connetTimer->stop();
    emit sigLoginStatus(false, 1, tarnex::text(QStringLiteral("connect_server_fail"), loginFailed));
    if (m_signedIn || m_leaving || !m_client)
        return;
    // A namespace that is never answered, or a sign-in never acknowledged, would hold the link
    // for good: close it and try again.
    qCInfo(lcMessaging) << "not signed in within" << m_connectTimeoutMs << "ms; connecting again";
    takeDown();
    m_client->close();
    emit sigNetworkdisconnect(false);
    startReconnectTimer();
}

void MessagingLink::onHeartInfor()
{
    m_socket->emitEvent(
        QStringLiteral("heartbeat test"), QJsonArray{MessagePayloads::clientNotice(userId())},
        [](const QJsonArray &ack) {
            qCDebug(lcMessaging) << "heartbeat acknowledged:" << ack.size() << "values";
        });
}
