#pragma once

// Shared pieces of the messaging tests: a log of the engine's signals kept on the test thread,
// the reference server and the other party (the official Node client), and the engine pointed
// at a server.

#include "config/configfile.h"
#include "messaging/sockethandl.h"
#include "nodepeer.h"
#include "referenceserver.h"
#include "session/parameterinfor.h"
#include "sio/engineurl.h"
#include "sio/generationmemory.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTest>
#include <QVariantList>

// Qt and libdbus from the distribution are not built for ThreadSanitizer: their own locks are
// invisible to it.
// As in the socket.io tests, Qt's and GLib's internals are left out (the test library's watchdog
// thread included); so are a wait condition Qt destroys as a thread ends and the bus watcher's
// own threads, both Qt's.
#if defined(__SANITIZE_THREAD__)
extern "C" const char *__tsan_default_suppressions()
{
    return "called_from_lib:libQt5Core.so.5\n"
           "called_from_lib:libQt5Network.so.5\n"
           "called_from_lib:libQt5WebSockets.so.5\n"
           "called_from_lib:libQt5Test.so.5\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libQt5DBus.so.5\n"
           "called_from_lib:libdbus-1.so.3\n"
           "race:QWaitCondition::~QWaitCondition\n"
           "race:QDBusServiceWatcher\n";
}
#endif

namespace messagingtest {

constexpr int longWait = 30000;

// The engine's signals, recorded on the test thread: signals from the network thread arrive
// queued (the log lives here), so the test reads the log without racing the engine.
class SignalLog : public QObject
{
public:
    explicit SignalLog(SocketHandl *engine)
    {
        watch(engine, &SocketHandl::sigNetworkdisconnect, "sigNetworkdisconnect");
        watch(engine, qOverload<bool>(&SocketHandl::sigConnectServer), "sigConnectServer");
        watch(engine, &SocketHandl::sigReconnectInfor, "sigReconnectInfor");
        watch(engine, &SocketHandl::sigLoginStatus, "sigLoginStatus");
        watch(engine, &SocketHandl::sigPrivareMessage, "sigPrivareMessage");
        watch(engine, &SocketHandl::sigGroupMessage, "sigGroupMessage");
        watch(engine, &SocketHandl::sigPrivareMessageStatus, "sigPrivareMessageStatus");
        watch(engine, &SocketHandl::sigGroupMessageStatus, "sigGroupMessageStatus");
        watch(engine, &SocketHandl::sigMessageUnreadNums, "sigMessageUnreadNums");
        watch(engine, &SocketHandl::sigRemoveMessage, "sigRemoveMessage");
        watch(engine, &SocketHandl::sigSendMessageFail, "sigSendMessageFail");
        watch(engine, &SocketHandl::sigMessageStatus, "sigMessageStatus");
        watch(engine, &SocketHandl::sigGetRecord, "sigGetRecord");
        watch(engine, &SocketHandl::sigHistoryGetRecord, "sigHistoryGetRecord");
        watch(engine, &SocketHandl::sigSendLastMessageInfor, "sigSendLastMessageInfor");
        watch(engine, &SocketHandl::sigGetGroupInfor, "sigGetGroupInfor");
        watch(engine, &SocketHandl::sigGroupInforChange, "sigGroupInforChange");
        watch(engine, &SocketHandl::sigAddGroup, "sigAddGroup");
        watch(engine, &SocketHandl::sigEditGroupCB, "sigEditGroupCB");
        watch(engine, &SocketHandl::sigEditGroupDelete, "sigEditGroupDelete");
        watch(engine, &SocketHandl::sigRecordMessageFile, "sigRecordMessageFile");
    }

    int count(const QString &name) const
    {
        int n = 0;
        for (const auto &entry : m_entries)
            n += entry.first == name ? 1 : 0;
        return n;
    }
    int total() const { return m_entries.size(); }
    // Arguments of every emission of `name`, oldest first.
    QList<QVariantList> all(const QString &name) const
    {
        QList<QVariantList> result;
        for (const auto &entry : m_entries) {
            if (entry.first == name)
                result << entry.second;
        }
        return result;
    }
    QVariantList last(const QString &name) const
    {
        const QList<QVariantList> list = all(name);
        return list.isEmpty() ? QVariantList() : list.last();
    }
    QStringList names() const
    {
        QStringList result;
        for (const auto &entry : m_entries)
            result << entry.first;
        return result;
    }
    void clear() { m_entries.clear(); }

private:
    template <typename... Args>
    void watch(SocketHandl *engine, void (SocketHandl::*signal)(Args...), const char *name)
    {
        const QString key = QLatin1String(name);
        connect(engine, signal, this, [this, key](std::decay_t<Args>... args) {
            m_entries.append({key, QVariantList{QVariant::fromValue(args)...}});
        });
    }

    QList<QPair<QString, QVariantList>> m_entries;
};

// Which reference server a case runs against, and the Engine.IO version the engine speaks to
// it: socket.io 4 in its own protocol and in its compatibility mode for older clients, and
// socket.io 2.
enum class Generation { V4, V4Eio3, V2 };

// One fixture of the inbound fuzz corpus as the event and the arguments the engine is handed,
// read as the fuzz target reads its input: the first byte picks the event.
inline QPair<QString, QJsonArray> fixture(const char *name)
{
    QFile file(QStringLiteral(TARNEX_SOURCE_DIR "/tests/fuzz/corpus/messaging_inbound/") +
               QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    const QStringList events = SocketHandl::inboundEvents() + SocketHandl::acknowledgedEvents();
    const QJsonDocument document = QJsonDocument::fromJson('[' + data.mid(1) + ']');
    return {events.at(quint8(data.at(0)) % events.size()), document.array()};
}

// The process engine signed in as `user` without a server, as the models' tests feed it.
inline SocketHandl *engineAs(const QString &user)
{
    SocketHandl *engine = SocketHandl::instance();
    engine->setLoginIdentity(user, QString(), QString());
    return engine;
}

// Rows for a case run against every generation.
inline void generations()
{
    QTest::addColumn<Generation>("generation");
    QTest::newRow("socket.io 4") << Generation::V4;
    QTest::newRow("socket.io 4, EIO 3") << Generation::V4Eio3;
    QTest::newRow("socket.io 2") << Generation::V2;
}

inline QString generationName(Generation generation)
{
    switch (generation) {
    case Generation::V4:
        return QStringLiteral("socket.io 4");
    case Generation::V4Eio3:
        return QStringLiteral("socket.io 4, EIO 3");
    case Generation::V2:
        return QStringLiteral("socket.io 2");
    }
    return QString();
}

inline QStringList serverArgs(Generation generation)
{
    return generation == Generation::V2 ? QStringList{QStringLiteral("--socketio-v2")}
                                        : QStringList();
}

inline bool startServer(ReferenceServer &server, Generation generation)
{
    return server.start(serverArgs(generation));
}

// The Engine.IO version the server sees on the user's connections (3 or 4; 0 when there is
// none).
inline int engineVersionOf(const ReferenceServer &server, const QString &user)
{
    const QJsonArray engines =
        server.hook(QStringLiteral("online")).value(QLatin1String("engines")).toArray();
    for (const QJsonValue &value : engines) {
        const QJsonObject engine = value.toObject();
        if (engine.value(QLatin1String("user")).toString() == user)
            return engine.value(QLatin1String("protocol")).toInt();
    }
    return 0;
}

// A fresh start for `user`: no messages left in the outbox by an earlier case.
inline void clearOutbox(const QString &user)
{
    QFile::remove(SocketHandl::outboxPathFor(user));
}

// The engine signs in to `server` as `user` on its next connectServer(), speaking the
// generation's Engine.IO version.
inline void pointAt(const ReferenceServer &server, SocketHandl &engine, const QString &user,
                    Generation generation = Generation::V4)
{
    // What an earlier case's server on the same port spoke must not choose the version here.
    sio::GenerationMemory::forget(sio::EngineUrl::serverKey(server.baseUrl()));
    engine.setEngineVersion(generation == Generation::V4Eio3 ? 3 : 0);
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());
    ParameterInfor *parameters = ParameterInfor::instance();
    parameters->setImHost(QStringLiteral("127.0.0.1"));
    parameters->setImPort(QString::number(server.port()));
    parameters->setImPortHttps(QString());
    parameters->subtractOnline(parameters->onlineUsers());
    engine.setLoginIdentity(user, QStringLiteral("技术研发部"), QStringLiteral("部门经理"));
}

inline QString partyScript()
{
    return QStringLiteral(TARNEX_SOURCE_DIR "/tests/messaging/party.js");
}

// Signs the party in as `user` (again, after the server restarted); what it received before
// is forgotten.
inline bool connectParty(const NodePeer &party, const QString &user)
{
    const QJsonArray ack =
        party.control(QStringLiteral("connect"), QJsonObject{{QStringLiteral("user"), user}})
            .value(QLatin1String("ack"))
            .toArray();
    return ack.size() == 1 && ack.first().toString() == QLatin1String("success");
}

// The other user, on the official Node client of the same generation as the server.
inline bool startParty(NodePeer &party, const ReferenceServer &server, Generation generation,
                       const QString &user)
{
    QStringList args{QStringLiteral("--server"), server.baseUrl().toString()};
    if (generation == Generation::V2)
        args << QStringLiteral("--v2");
    return party.start(partyScript(), args) && connectParty(party, user);
}

// The events the party received with the given name.
inline QJsonArray partyEvents(const NodePeer &party, const QString &event)
{
    return party.control(QStringLiteral("events"), QJsonObject{{QStringLiteral("event"), event}})
        .value(QLatin1String("events"))
        .toArray();
}

// The acknowledgement's arguments of an event the party sends.
inline QJsonArray partyEmit(const NodePeer &party, const QString &event, const QJsonArray &args)
{
    return party
        .control(QStringLiteral("emit"),
                 QJsonObject{{QStringLiteral("event"), event}, {QStringLiteral("args"), args}})
        .value(QLatin1String("ack"))
        .toArray();
}

} // namespace messagingtest

Q_DECLARE_METATYPE(messagingtest::Generation)

// Connects `engine` and waits for a positive login acknowledgement.
#define MESSAGING_SIGN_IN(engine, log)                                                             \
    do {                                                                                           \
        const int before = (log).count(QStringLiteral("sigConnectServer"));                        \
        (engine).connectServer();                                                                  \
        QTRY_COMPARE_WITH_TIMEOUT((log).count(QStringLiteral("sigConnectServer")), before + 1,     \
                                  messagingtest::longWait);                                        \
        QCOMPARE((log).last(QStringLiteral("sigConnectServer")).value(0).toBool(), true);          \
    } while (false)
