#include "sockethandl.h"

#include "desktop/startupphase.h"
#include "messaginggroups.h"
#include "messaginghistory.h"
#include "messaginginbound.h"
#include "platform/wakewatcher.h"
#include "reminders/systeminformation.h"
#include "session/parameterinfor.h"

#include <QCoreApplication>
#include <QThread>

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

SocketHandl::SocketHandl(QObject *parent) : QObject(parent)
{
    // Made here, on the GUI thread, before any handler can reach them from the network thread.
    ParameterInfor::instance();
    SystemInformation::gestance();

    m_outbox = new SignalOutbox(this);
    makeParts();

    // Emitted on the engine's thread (through deliver()), so these run at once, in order.
    connect(this, &SocketHandl::sigPrivareMessageStatusSelf, this,
            &SocketHandl::onPrivareMessageStatus);
    connect(this, &SocketHandl::sigGroupMessageStatusSelf, this,
            &SocketHandl::onGroupMessageStatusSelf);
}

SocketHandl::~SocketHandl()
{
    shutdown();
}

void SocketHandl::setTimings(int connectMs, int reconnectMs, int ackMs)
{
    m_link->setTimings(connectMs, reconnectMs);
    m_sender->setAckTimeout(ackMs);
}

int SocketHandl::reconnectDelay(int baseMs, quint32 draw)
{
    return MessagingLink::reconnectDelay(baseMs, draw);
}

void SocketHandl::setEngineVersion(int version)
{
    m_link->setEngineVersion(version);
}

void SocketHandl::shutdown()
{
    if (!m_link->isOpen())
        return;
    m_link->disConnectServer();
    m_link->stopTimers();
    // The outbox on disk while the client still exists; then the client goes, and with it the
    // network thread.
    m_sender->shutdown();
    m_link->closeClient();
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
        m_link->applyLoginReply(ack, true);
    else if (event == QLatin1String("send message"))
        m_sender->applySendReply(ack, conversation, 1, QStringLiteral("2"));
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
    m_link->setLoginIdentity(userId, deptId, roleId);
}

void SocketHandl::setServerClock(qint64 serverMs)
{
    m_clock.setServerClock(serverMs);
}

QString SocketHandl::userId() const
{
    return m_link->userId();
}

void SocketHandl::connectServer()
{
    m_link->connectServer();
}

void SocketHandl::reconnectNow()
{
    m_link->reconnectNow();
}

void SocketHandl::watchWakeups(const QDBusConnection &bus)
{
    auto *watcher = new WakeWatcher(bus, this);
    connect(watcher, &WakeWatcher::resumed, this, &SocketHandl::reconnectNow);
    connect(watcher, &WakeWatcher::networkReturned, this, &SocketHandl::reconnectNow);
}

void SocketHandl::disConnectServer()
{
    m_link->disConnectServer();
}

void SocketHandl::forgetAccount()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_link->isOpen())
        return;
    // After this no handler of the old link writes the stores below.
    m_link->leaveAccount();
    m_outbox->discard();
    m_sender->forgetAccount();
    m_store.clear();
    m_history->forgetAccount();
    m_link->forgetIdentity();
}

// The link's slots, kept on the engine for the documents and tests that name them.

void SocketHandl::onConnected(const QString &nsp)
{
    m_link->onConnected(nsp);
}

void SocketHandl::onSigConnectServer()
{
    m_link->onSigConnectServer();
}

void SocketHandl::onReconnect()
{
    m_link->onReconnect();
}

void SocketHandl::onRestartLogin()
{
    m_link->onRestartLogin();
}

void SocketHandl::onFailed()
{
    m_link->onFailed();
}

void SocketHandl::onHeartInfor()
{
    m_link->onHeartInfor();
}

void SocketHandl::onDisconnected()
{
    m_link->onDisconnected();
}

void SocketHandl::onReconnectListener()
{
    m_link->onReconnectListener();
}

void SocketHandl::onConnectServerTimeout()
{
    m_link->onConnectServerTimeout();
}

void SocketHandl::onServerTrusted()
{
    m_link->onServerTrusted();
}
