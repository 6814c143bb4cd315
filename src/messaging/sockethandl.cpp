#include "sockethandl.h"

#include "config/configfile.h"
#include "desktop/startupphase.h"
#include "language/text.h"
#include "logging.h"
#include "messagepayloads.h"
#include "messagingaddress.h"
#include "messaginggroups.h"
#include "messaginghistory.h"
#include "messaginginbound.h"
#include "net/servertrust.h"
#include "platform/wakewatcher.h"
#include "reminders/systeminformation.h"
#include "session/parameterinfor.h"
#include "sio/client.h"

#include <QCoreApplication>
#include <QMap>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <QUrl>

namespace {

const QString clientNamespace = QStringLiteral("/client");
const QString loginFailed = QStringLiteral("连接服务器失败");

} // namespace

SocketHandl *SocketHandl::instance()
{
    static SocketHandl *engine = []() {
        auto *created = new SocketHandl;
        // The network thread is joined while the application still exists, not during static
        // destruction.
        if (QCoreApplication *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, created, &SocketHandl::shutdown);
        // The system bus is opened once the window has shown its first frame.
        StartupPhase::afterFirstFrame(
            created, [created] { created->watchWakeups(QDBusConnection::systemBus()); });
        return created;
    }();
    return engine;
}

SocketHandl::SocketHandl(QObject *parent) : QObject(parent), m_client(new sio::Client)
{
    // Made here, on the GUI thread, before any handler can reach them from the network thread.
    ParameterInfor::instance();
    SystemInformation::gestance();

    m_outbox = new SignalOutbox(this);
    // The writer says so on its own thread; the text is read again on this one.
    m_pending.setProblemListener([this]() {
        QMetaObject::invokeMethod(this, &SocketHandl::updateOutboxProblem, Qt::QueuedConnection);
    });
    m_connetTimer = new QTimer(this);
    m_reconnectTimer = new QTimer(this);
    m_restartLoginTimer = new QTimer(this);
    m_ackTimer = new QTimer(this);
    m_ackTimer->setSingleShot(true);
    connect(m_ackTimer, &QTimer::timeout, this, &SocketHandl::onAckTimeout);
    m_monotonic.start();
    connect(m_reconnectTimer, &QTimer::timeout, this, &SocketHandl::onReconnect);
    connect(m_restartLoginTimer, &QTimer::timeout, this, &SocketHandl::onRestartLogin);
    connect(m_connetTimer, &QTimer::timeout, this, &SocketHandl::onConnectServerTimeout);
    connect(ServerTrust::instance(), &ServerTrust::trusted, this, &SocketHandl::onServerTrusted);
    connect(this, qOverload<>(&SocketHandl::sigConnectServer), this,
            &SocketHandl::onSigConnectServer);

    m_socket = m_client->socket(clientNamespace);
    makeParts();
    bindClient();

    // Emitted on the engine's thread (through deliver()), so these run at once, in order.
    connect(this, &SocketHandl::sigPrivareMessageStatusSelf, this,
            &SocketHandl::onPrivareMessageStatus);
    connect(this, &SocketHandl::sigGroupMessageStatusSelf, this,
            &SocketHandl::onGroupMessageStatusSelf);
}

SocketHandl::~SocketHandl()
{
    disconnect(m_connetTimer, &QTimer::timeout, this, &SocketHandl::onConnectServerTimeout);
    shutdown();
}

void SocketHandl::setTimings(int connectMs, int reconnectMs, int ackMs)
{
    m_connectTimeoutMs = qMax(1, connectMs);
    m_reconnectDelayMs = qMax(1, reconnectMs);
    m_ackTimeoutMs = qMax(1, ackMs);
}

int SocketHandl::reconnectDelay(int baseMs, quint32 draw)
{
    const int base = qMax(1, baseMs);
    return base + int(draw % quint32(base / 5 + 1));
}

void SocketHandl::setEngineVersion(int version)
{
    if (!m_client)
        return;
    m_client->setEngineVersion(version == 3   ? sio::Client::EngineVersion::V3
                               : version == 4 ? sio::Client::EngineVersion::V4
                                              : sio::Client::EngineVersion::Detect);
}

void SocketHandl::shutdown()
{
    if (!m_client)
        return;
    disConnectServer();
    m_connetTimer->stop();
    m_reconnectTimer->stop();
    m_restartLoginTimer->stop();
    m_ackTimer->stop();
    if (m_outboxSaveDue)
        m_pending.save();
    m_pending.flush();
    m_socket->offAll();
    m_client->clearListeners();
    // The client's destructor lets the leave notice and the close frame out (bounded) and waits
    // for its network thread: no handler or acknowledgement runs after this line, while
    // everything they touch still exists.
    m_client.reset();
}

void SocketHandl::bindClient()
{
    m_client->setCertificateJudge(
        [this](const QUrl &url, const QSslCertificate &leaf, const QList<QSslError> &errors) {
            const bool accepted = ServerTrust::instance()->accept(url, leaf, errors);
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
    m_inbound->bind(*m_socket);
}

QStringList SocketHandl::inboundEvents()
{
    return MessagingInbound::inboundEvents();
}

bool SocketHandl::dispatchInbound(const QString &event, const QJsonArray &args)
{
    return m_inbound->dispatch(event, args);
}

QStringList SocketHandl::acknowledgedEvents()
{
    return {QStringLiteral("login"),          QStringLiteral("send message"),
            QStringLiteral("get record"),     QStringLiteral("get imageRecord"),
            QStringLiteral("get lastrecord"), QStringLiteral("send myGroup")};
}

bool SocketHandl::dispatchReply(const QString &event, const QJsonArray &ack,
                                const QString &conversation)
{
    if (event == QLatin1String("login"))
        onLoginAck(ack, true);
    else if (event == QLatin1String("send message"))
        onSendAck(ack, conversation, 1, QStringLiteral("2"));
    else if (event == QLatin1String("get record"))
        m_history->applyRecordReply(ack, conversation, false);
    else if (event == QLatin1String("get imageRecord"))
        m_history->applyRecordReply(ack, conversation, true);
    else if (event == QLatin1String("get lastrecord"))
        m_history->applyLastRecords(ack);
    else if (event == QLatin1String("send myGroup"))
        m_groups->applyGroupList(ack);
    else
        return false;
    return true;
}

void SocketHandl::setLoginIdentity(const QString &userId, const QString &deptId,
                                   const QString &roleId)
{
    std::lock_guard<std::mutex> lock(m_identityMutex);
    m_userId = userId;
    m_deptId = deptId;
    m_roleId = roleId;
}

void SocketHandl::setServerClock(qint64 serverMs)
{
    m_clock.setServerClock(serverMs);
}

QString SocketHandl::userId() const
{
    std::lock_guard<std::mutex> lock(m_identityMutex);
    return m_userId;
}

void SocketHandl::connectServer()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_client)
        return;
    m_leaving = false;
    m_connectAsked = true;
    const QString serverIp =
        ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp"));
    ParameterInfor *parameters = ParameterInfor::instance();
    const QString url = MessagingAddress::build(serverIp, parameters->imHost(),
                                                parameters->imPort(), parameters->imPortHttps());
    QMap<QString, QString> query;
    {
        std::lock_guard<std::mutex> lock(m_identityMutex);
        m_currentServerIp = serverIp;
        query.insert(QStringLiteral("loginUserId"), m_userId);
        query.insert(QStringLiteral("loginDeptId"), m_deptId);
        query.insert(QStringLiteral("loginRoleId"), m_roleId);
    }
    qCDebug(lcMessaging) << "connecting to" << url;
    openOutbox();
    linkDown();
    // connect() replaces a connection that is still there; unlike close() it keeps what waits
    // to be sent.
    m_client->connect(QUrl(url), query);
    m_connetTimer->start(m_connectTimeoutMs);
    emit sigConnecting();
}

void SocketHandl::reconnectNow()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_client || !m_connectAsked || m_leaving || m_signedIn)
        return;
    qCInfo(lcMessaging) << "reconnecting at once";
    m_reconnectTimer->stop();
    connectServer();
}

void SocketHandl::watchWakeups(const QDBusConnection &bus)
{
    auto *watcher = new WakeWatcher(bus, this);
    connect(watcher, &WakeWatcher::resumed, this, &SocketHandl::reconnectNow);
    connect(watcher, &WakeWatcher::networkReturned, this, &SocketHandl::reconnectNow);
}

void SocketHandl::disConnectServer()
{
    if (!m_client)
        return;
    m_leaving = true;
    if (QThread::currentThread() == thread()) {
        m_reconnectTimer->stop();
        m_connetTimer->stop();
        linkDown();
    }
    m_socket->emitEvent(
        QStringLiteral("disconnect"), QJsonArray{MessagePayloads::clientNotice(userId())},
        [](const QJsonArray &ack) {
            qCDebug(lcMessaging) << "leave notice acknowledged:" << ack.size() << "values";
        });
    // Sent before the close (the client keeps the order); 4.x services close on it anyway.
    m_client->close();
}

void SocketHandl::forgetAccount()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_client)
        return;
    disConnectServer();
    m_connectAsked = false;
    m_restartLoginTimer->stop();
    // After this no handler of the old link writes the stores below.
    if (!m_client->settle(closeWaitMs))
        qCWarning(lcMessaging) << "the link did not settle within" << closeWaitMs << "ms";
    m_outbox->discard();
    m_pending.save();
    m_outboxSaveDue = false;
    m_pending.open(QString());
    updateOutboxProblem();
    m_store.clear();
    m_history->forgetAccount();
    m_currentMessageId.clear();
    m_hasLoggedIn = false;
    m_certificateRefused = false;
    m_awaitingTrust = false;
    std::lock_guard<std::mutex> lock(m_identityMutex);
    m_userId.clear();
    m_deptId.clear();
    m_roleId.clear();
    m_currentServerIp.clear();
}

void SocketHandl::updateOutboxProblem()
{
    const QString problem = m_pending.path().isEmpty() ? QString() : m_pending.writeProblem();
    if (problem == m_outboxProblem)
        return;
    m_outboxProblem = problem;
    emit sigOutboxProblem(problem);
}

void SocketHandl::onConnected(const QString &nsp)
{
    if (nsp != clientNamespace)
        return;
    deliver([this]() { emit sigNetworkdisconnect(true); });
    sendLogin(true);
    deliver([this]() { emit sigConnectServer(); });
}

void SocketHandl::onSigConnectServer()
{
    m_reconnectTimer->stop();
    m_restartLoginTimer->stop();
}

void SocketHandl::sendLogin(bool first)
{
    m_socket->emitEvent(QStringLiteral("login"), QJsonArray{QStringLiteral("success")},
                        [this, first](const QJsonArray &ack) { onLoginAck(ack, first); });
}

void SocketHandl::onLoginAck(const QJsonArray &ack, bool first)
{
    const bool success = !ack.isEmpty() && ack.first().toString() == QLatin1String("success");
    qCDebug(lcMessaging) << "login acknowledged:" << ack.size() << "values";
    const bool again = success && first && m_hasLoggedIn.exchange(true);
    deliver([this, success, first, again]() {
        m_connetTimer->stop();
        if (success && !m_leaving) {
            m_signedIn = true;
            // What waited for the link goes out first, in the order it was sent.
            pumpOutbox();
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

void SocketHandl::onRestartLogin()
{
    m_restartLoginTimer->stop();
    emit sigNetworkdisconnect(true);
    m_reconnectTimer->stop();
    sendLogin(false);
}

void SocketHandl::scheduleReconnect()
{
    deliver([this]() {
        linkDown(true);
        emit sigNetworkdisconnect(false);
        if (m_leaving)
            return;
        // The same certificate would be refused again: the user was told, and trusting it
        // connects at once (onServerTrusted), unless it was trusted before this failure came.
        if (m_certificateRefused.exchange(false) &&
            !ServerTrust::instance()->lastRefusal().isNull()) {
            qCInfo(lcMessaging) << "certificate refused; waiting for the user to trust it";
            m_reconnectTimer->stop();
            m_connetTimer->stop();
            m_awaitingTrust = true;
            return;
        }
        startReconnectTimer();
    });
}

void SocketHandl::onServerTrusted()
{
    if (!m_awaitingTrust)
        return;
    m_awaitingTrust = false;
    reconnectNow();
}

void SocketHandl::startReconnectTimer()
{
    m_reconnectTimer->stop();
    m_reconnectTimer->start(
        reconnectDelay(m_reconnectDelayMs, QRandomGenerator::global()->generate()));
    emit sigReconnectScheduled(m_reconnectTimer->interval());
}

void SocketHandl::linkDown(bool dead)
{
    m_signedIn = false;
    bool any = false;
    // Collected first: a slot of the status signal may retry, which changes the outbox.
    QList<MessageOutbox::Entry> revived;
    for (MessageOutbox::Entry &entry : m_pending.entries()) {
        if (entry.state == MessageOutbox::State::InFlight) {
            entry.state = MessageOutbox::State::Waiting;
            any = true;
        } else if (dead && entry.unansweredHere && entry.state == MessageOutbox::State::Failed) {
            // The heartbeat takes longer than the acknowledgement limit to find a frozen server
            // out: the answer never had a chance. Sent again, with the same id, after the next
            // sign-in.
            entry.state = MessageOutbox::State::Waiting;
            revived.append(entry);
        }
        // Only failures on this link count; the next one starts afresh.
        entry.unansweredHere = false;
    }
    if (any)
        qCDebug(lcMessaging) << "link down: messages in flight wait for the next sign-in";
    m_ackTimer->stop();
    if (revived.isEmpty())
        return;
    qCInfo(lcMessaging) << "link dead:" << revived.size()
                        << "unanswered messages wait for the next sign-in";
    saveOutboxSoon();
    for (const MessageOutbox::Entry &entry : qAsConst(revived)) {
        setOwnStatus(entry.types, entry.conversation, entry.id, pendingStatus());
        emit sigMessageStatus(entry.conversation, entry.types, entry.id, pendingStatus());
    }
}

void SocketHandl::onFailed()
{
    scheduleReconnect();
}

void SocketHandl::onDisconnected()
{
    scheduleReconnect();
}

void SocketHandl::onReconnect()
{
    m_reconnectTimer->stop();
    connectServer();
}

void SocketHandl::onReconnectListener()
{
    qCDebug(lcMessaging) << "connection open";
}

void SocketHandl::onConnectServerTimeout()
{
    m_connetTimer->stop();
    emit sigLoginStatus(false, 1, tarnex::text(QStringLiteral("connect_server_fail"), loginFailed));
    if (m_signedIn || m_leaving || !m_client)
        return;
    // A namespace that is never answered, or a sign-in never acknowledged, would hold the link
    // for good: close it and try again.
    qCInfo(lcMessaging) << "not signed in within" << m_connectTimeoutMs << "ms; connecting again";
    linkDown();
    m_client->close();
    emit sigNetworkdisconnect(false);
    startReconnectTimer();
}

void SocketHandl::onHeartInfor()
{
    m_socket->emitEvent(
        QStringLiteral("heartbeat test"), QJsonArray{MessagePayloads::clientNotice(userId())},
        [](const QJsonArray &ack) {
            qCDebug(lcMessaging) << "heartbeat acknowledged:" << ack.size() << "values";
        });
}
