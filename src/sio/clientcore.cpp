#include "clientcore.h"

#include "clientshared.h"
#include "engineurl.h"
#include "generationmemory.h"
#include "packetcodec.h"
#include "siolog.h"
#include "json/peerjson.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QThread>
#include <QTimer>

namespace sio {

namespace {

const QString rootNsp = QStringLiteral("/");

QString errorMessage(const QJsonValue &data)
{
    if (data.isObject())
        return data.toObject().value(QLatin1String("message")).toString();
    if (data.isString())
        return data.toString();
    return PacketCodec::encodeValue(data);
}

} // namespace

ClientCore::ClientCore(std::shared_ptr<ClientShared> shared) : m_shared(std::move(shared)) {}

ClientCore::~ClientCore() = default;

void ClientCore::drainTasks()
{
    Q_ASSERT(QThread::currentThread() == thread());
    m_shared->drain(this);
}

void ClientCore::connectTo(const QUrl &base, const QMap<QString, QString> &query,
                           const Settings &settings)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_shuttingDown)
        return;
    dropConnection(true);
    m_base = base;
    m_query = query;
    m_settings = settings;
    m_serverKey = EngineUrl::serverKey(base);
    const bool detect = settings.engineVersion == 0;
    const int remembered = detect ? GenerationMemory::lookup(m_serverKey) : 0;
    m_version = detect ? (remembered ? remembered : 4) : settings.engineVersion;
    m_switchAllowed = detect;
    startAttempt();
}

void ClientCore::close()
{
    Q_ASSERT(QThread::currentThread() == thread());
    dropConnection(true);
    for (auto &entry : m_namespaces)
        dropQueue(entry.second, QStringLiteral("closed before the namespace opened"));
}

void ClientCore::dropQueue(Namespace &ns, const QString &why)
{
    QList<Outgoing> queue;
    queue.swap(ns.queue);
    ns.queuedBytes = 0;
    if (queue.isEmpty())
        return;
    qCInfo(lcSio) << "close: dropped" << queue.size() << "emits that were waiting for"
                  << ns.socket->nsp();
    for (Outgoing &outgoing : queue)
        failed(outgoing, Socket::Failure::NotConnected, why);
}

void ClientCore::failed(Outgoing &outgoing, Socket::Failure failure, const QString &reason)
{
    if (outgoing.onFailure && m_shared->alive())
        outgoing.onFailure(failure, reason);
}

void ClientCore::shutdown()
{
    Q_ASSERT(QThread::currentThread() == thread());
    close();
    m_shuttingDown = true;
    auto lingering = [this]() {
        for (const QPointer<EngineConnection> &connection : qAsConst(m_lingering)) {
            if (connection && connection->isLingering())
                return true;
        }
        return false;
    };
    if (!lingering())
        return;
    // Give the close frames (and whatever was sent before them) a moment to leave; a frozen
    // server cannot hold this up for longer than the linger time.
    QEventLoop loop;
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    for (const QPointer<EngineConnection> &connection : qAsConst(m_lingering)) {
        if (connection) {
            QObject::connect(connection, &EngineConnection::lingerFinished, &loop,
                             [&loop, lingering]() {
                                 if (!lingering())
                                     loop.quit();
                             });
        }
    }
    if (lingering())
        loop.exec();
}

void ClientCore::addNamespace(const std::shared_ptr<Socket> &socket)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_namespaces.count(socket->nsp()))
        return;
    Namespace &ns = m_namespaces[socket->nsp()];
    ns.socket = socket;
    if (m_connection && m_connection->isOpen())
        join(socket->nsp(), ns);
}

void ClientCore::emitEvent(const QString &nsp, const QString &event, const QString &json,
                           Socket::AckCallback ack, Socket::FailCallback onFailure, bool mayWait)
{
    Q_ASSERT(QThread::currentThread() == thread());
    Outgoing outgoing{event, json, std::move(ack), std::move(onFailure)};
    if (m_shuttingDown) {
        failed(outgoing, Socket::Failure::NotConnected, QStringLiteral("the client is closing"));
        return;
    }
    Namespace *ns = find(nsp);
    if (!ns) {
        qCWarning(lcSio) << "emit of" << event << "dropped: unknown namespace" << nsp;
        failed(outgoing, Socket::Failure::NotConnected, QStringLiteral("unknown namespace"));
        return;
    }
    // While the socket-open listener runs (Opening), its emits go straight out, ahead of the
    // queue: the sign-in it sends must precede what waited for the namespace.
    if (ns->state == NspState::Open || ns->state == NspState::Opening) {
        send(nsp, std::move(outgoing));
        return;
    }
    if (!mayWait) {
        failed(outgoing, Socket::Failure::NotConnected, QStringLiteral("namespace not open"));
        return;
    }
    if (ns->queue.size() >= maxQueuedEmits || ns->queuedBytes + json.size() > maxQueuedBytes) {
        qCWarning(lcSio) << "emit of" << event << "on" << nsp
                         << "dropped: too much is already waiting for the namespace";
        failed(outgoing, Socket::Failure::NotConnected,
               QStringLiteral("too much is waiting for the namespace"));
        return;
    }
    ns->queuedBytes += json.size();
    ns->queue.append(outgoing);
}

void ClientCore::startAttempt()
{
    ++m_epoch;
    m_confirmed = false;
    m_defaultNspConnected = false;
    m_nextAckId = 0;
    const QUrl url = EngineUrl::build(m_base, m_version, m_query);
    if (!url.isValid()) {
        const QString reason = QStringLiteral("unusable server address: %1")
                                   .arg(m_base.toString(QUrl::RemoveUserInfo));
        qCWarning(lcSio) << reason;
        // Reported from the event loop, never from inside the owner's connect call.
        const quint64 epoch = m_epoch;
        QTimer::singleShot(0, this, [this, epoch, reason]() {
            if (epoch == m_epoch && !m_shuttingDown)
                notifyFail(reason);
        });
        return;
    }
    EngineConnection::Options options;
    options.url = url;
    options.engineVersion = m_version;
    options.connectTimeoutMs = m_settings.connectTimeoutMs;
    options.verifyPeer = m_settings.verifyPeer;
    options.certificateJudge = m_settings.certificateJudge;
    auto *connection = new EngineConnection(options, this);
    m_connection = connection;
    QObject::connect(connection, &EngineConnection::opened, this,
                     [this, connection]() { onOpened(connection); });
    QObject::connect(connection, &EngineConnection::pingReceived, this,
                     [this, connection]() { onPing(connection); });
    connection->setMessageSink(this);
    QObject::connect(connection, &EngineConnection::ended, this,
                     [this, connection](EngineConnection::Ending ending, const QString &reason) {
                         onEnded(connection, ending, reason);
                     });
    connection->start();
}

void ClientCore::retryWithVersion(int version, const QString &why)
{
    qCInfo(lcSio).noquote() << m_serverKey << why << "- connecting again with Engine.IO" << version;
    m_switchAllowed = false;
    dropConnection(false);
    m_version = version;
    startAttempt();
}

void ClientCore::dropConnection(bool graceful)
{
    ++m_epoch;
    m_confirmed = false;
    m_shared->open = false;
    if (m_connection) {
        EngineConnection *connection = m_connection;
        m_connection = nullptr;
        if (graceful && connection->isOpen()) {
            // An orderly leave: the server learns at once instead of at its ping timeout.
            for (auto &entry : m_namespaces) {
                if (entry.second.state == NspState::Open) {
                    Packet leave;
                    leave.type = PacketType::Disconnect;
                    leave.nsp = entry.first;
                    connection->sendMessage(PacketCodec::encodePacket(leave), nullptr);
                }
            }
        }
        m_lingering.removeAll(nullptr);
        m_lingering.append(connection);
        connection->dispose(graceful ? 1000 : 0);
    }
    m_acks.clear();
    armAckTimer();
    resetNamespaces();
}

void ClientCore::resetNamespaces()
{
    for (auto &entry : m_namespaces) {
        entry.second.state = NspState::Idle;
        entry.second.early.clear();
    }
}

void ClientCore::join(const QString &name, Namespace &ns)
{
    if (ns.state != NspState::Idle)
        return;
    ns.state = NspState::Joining;
    if (name == rootNsp && m_version == 3) {
        // Engine.IO 3 servers connect the default namespace by themselves; asking again would
        // make a 4.x server in that mode close the connection.
        if (m_defaultNspConnected)
            openNamespace(name);
        return;
    }
    Packet packet;
    packet.type = PacketType::Connect;
    packet.nsp = name;
    sendPacket(packet);
}

void ClientCore::onOpened(EngineConnection *connection)
{
    if (connection != m_connection)
        return;
    const quint64 epoch = m_epoch;
    for (auto &entry : m_namespaces) {
        join(entry.first, entry.second);
        if (epoch != m_epoch)
            return;
    }
    // An Engine.IO 4 answer may still come from an older server that ignores the version asked
    // for; that shows in its first Socket.IO packets, so the open is reported once they (or a
    // server ping) confirm the generation.
    if (m_version == 3 || !m_switchAllowed)
        confirm();
}

void ClientCore::onPing(EngineConnection *connection)
{
    if (connection == m_connection && !m_confirmed)
        confirm();
}

void ClientCore::confirm()
{
    if (m_confirmed)
        return;
    m_confirmed = true;
    if (m_settings.engineVersion == 0)
        GenerationMemory::remember(m_serverKey, m_version);
    m_shared->open = true;
    qCInfo(lcSio) << "connected to" << m_serverKey << "with Engine.IO" << m_version;
    if (auto listener = m_shared->openListener())
        listener();
}

void ClientCore::engineMessage(EngineConnection *connection, QStringView text)
{
    if (connection != m_connection)
        return;
    if (!text.isEmpty() && text.at(0) == QLatin1Char('2') && dispatchRaw(text))
        return;
    if (!text.isEmpty() && text.at(0) == QLatin1Char('3') && dispatchAck(text))
        return;
    Packet packet;
    QString error;
    if (!PacketCodec::decodePacket(text, &packet, &error)) {
        if (error == PacketCodec::tooDeep()) {
            qCWarning(lcSio).noquote() << "dropping a packet:" << error;
            return;
        }
        qCWarning(lcSio).noquote()
            << "dropping malformed packet (" + error + "):" << text.size() << "characters";
        connection->fail(EngineConnection::Ending::ProtocolError,
                         QStringLiteral("parse error: ") + error);
        return;
    }
    switch (packet.type) {
    case PacketType::Connect:
        handleConnect(packet);
        break;
    case PacketType::Disconnect:
        handleDisconnect(packet);
        break;
    case PacketType::Event:
        handleEvent(packet);
        break;
    case PacketType::Ack:
        handleAck(packet);
        break;
    case PacketType::ConnectError:
        handleConnectError(packet);
        break;
    case PacketType::BinaryEvent:
    case PacketType::BinaryAck:
        qCWarning(lcSio) << "binary packets are not supported; dropped one on" << packet.nsp;
        break;
    }
}

void ClientCore::onEnded(EngineConnection *connection, EngineConnection::Ending ending,
                         const QString &reason)
{
    if (connection != m_connection)
        return;
    const bool wasOpen = m_confirmed;
    dropConnection(false);
    if (!wasOpen && m_switchAllowed && ending == EngineConnection::Ending::Refused) {
        retryWithVersion(m_version == 4 ? 3 : 4,
                         QStringLiteral("refused Engine.IO %1 (%2)").arg(m_version).arg(reason));
        return;
    }
    if (wasOpen) {
        qCInfo(lcSio) << "connection lost:" << reason;
        notifyReconnecting(reason);
    } else {
        qCInfo(lcSio) << "connection failed:" << reason;
        notifyFail(reason);
    }
}

void ClientCore::handleConnect(const Packet &packet)
{
    if (m_version == 4 && !m_confirmed) {
        // Signs of a 1.x/2.x server: it connects the default namespace unasked and its CONNECT
        // replies carry no sid.
        Namespace *asked = find(packet.nsp);
        const bool unasked = !asked || asked->state != NspState::Joining;
        const bool withSid = packet.data.toObject().contains(QLatin1String("sid"));
        // A 2.x server registers a namespace's socket only as it answers the join; leaving
        // before that answer strands the socket there for good (its user stays online). So the
        // unasked default-namespace CONNECT waits for the answer to a join still on its way.
        if (m_switchAllowed && unasked && joinPending())
            return;
        if (m_switchAllowed && (unasked || !withSid)) {
            retryWithVersion(3, QStringLiteral("answers like a socket.io 2.x server"));
            return;
        }
        const quint64 epoch = m_epoch;
        confirm();
        if (epoch != m_epoch)
            return;
    }
    if (packet.nsp == rootNsp && m_version == 3)
        m_defaultNspConnected = true;
    Namespace *ns = find(packet.nsp);
    if (!ns || ns->state != NspState::Joining) {
        if (!(packet.nsp == rootNsp && m_version == 3))
            qCInfo(lcSio) << "ignoring CONNECT for a namespace not being joined:" << packet.nsp;
        return;
    }
    openNamespace(packet.nsp);
}

bool ClientCore::joinPending() const
{
    for (const auto &entry : m_namespaces) {
        if (entry.second.state == NspState::Joining)
            return true;
    }
    return false;
}

void ClientCore::openNamespace(const QString &name)
{
    Namespace *ns = find(name);
    ns->state = NspState::Opening;
    qCInfo(lcSio) << "namespace open:" << name;
    const quint64 epoch = m_epoch;
    if (auto listener = m_shared->socketOpenListener())
        listener(name);
    ns = find(name);
    if (epoch != m_epoch || ns->state != NspState::Opening)
        return;
    ns->state = NspState::Open;
    QList<Outgoing> queue;
    queue.swap(ns->queue);
    ns->queuedBytes = 0;
    for (Outgoing &outgoing : queue)
        send(name, std::move(outgoing));
    // What the server said before its answer, now that the handlers may hear it (as the
    // reference JavaScript client does).
    QList<Packet> early;
    early.swap(ns->early);
    for (Packet &packet : early) {
        if (epoch != m_epoch)
            return;
        dispatchEvent(packet);
    }
}

void ClientCore::handleConnectError(const Packet &packet)
{
    if (m_version == 4 && !m_confirmed) {
        const quint64 epoch = m_epoch;
        confirm();
        if (epoch != m_epoch)
            return;
    }
    Namespace *ns = find(packet.nsp);
    if (!ns || ns->state != NspState::Joining) {
        qCInfo(lcSio) << "ignoring CONNECT_ERROR for a namespace not being joined:" << packet.nsp;
        return;
    }
    ns->state = NspState::Closed;
    const QString reason = QStringLiteral("refused: ") + errorMessage(packet.data);
    qCWarning(lcSio) << "namespace" << packet.nsp << reason;
    if (auto listener = m_shared->socketCloseListener())
        listener(packet.nsp, reason);
}

void ClientCore::handleDisconnect(const Packet &packet)
{
    Namespace *ns = find(packet.nsp);
    if (!ns || ns->state != NspState::Open) {
        qCInfo(lcSio) << "ignoring DISCONNECT for a namespace not open:" << packet.nsp;
        return;
    }
    ns->state = NspState::Closed;
    dropAcks(packet.nsp);
    qCInfo(lcSio) << "the server left namespace" << packet.nsp;
    if (auto listener = m_shared->socketCloseListener())
        listener(packet.nsp, QStringLiteral("the server left the namespace"));
}

void ClientCore::handleEvent(Packet &packet)
{
    Namespace *ns = find(packet.nsp);
    if (ns && ns->state == NspState::Joining) {
        // Some servers emit from their connection handler before they answer the join.
        if (ns->early.size() >= maxEarlyEvents) {
            qCWarning(lcSio) << "dropping an early event: too many before the join's answer on"
                             << packet.nsp;
            return;
        }
        ns->early.append(packet);
        return;
    }
    dispatchEvent(packet);
}

void ClientCore::dispatchEvent(Packet &packet)
{
    Namespace *ns = find(packet.nsp);
    if (!ns || ns->state != NspState::Open) {
        qCInfo(lcSio) << "ignoring an event for a namespace not open:" << packet.nsp;
        return;
    }
    QJsonArray args = packet.data.toArray();
    // The array's only owner from here, so taking the name off does not copy it.
    packet.data = QJsonValue();
    const QString event = args.takeAt(0).toString();
    Ack ack(packet.hasAckId());
    const std::shared_ptr<const Socket::Handler> handler = ns->socket->handler(event);
    const quint64 epoch = m_epoch;
    if (handler && *handler && m_shared->alive())
        (*handler)(args, ack);
    else if (!handler)
        qCDebug(lcSio) << "no handler for event" << event << "on" << packet.nsp;
    answer(packet, ack, epoch);
}

namespace {

// Event and ack payloads are small: the parser works in buffers on the caller's stack instead of
// taking a 64 KiB chunk from the heap for every packet (a larger payload still gets one).
struct StackJson
{
    alignas(16) char values[8192];
    alignas(16) char stack[2048];
    FastJson::Pool valuePool{values, sizeof values};
    FastJson::Pool stackPool{stack, sizeof stack};
    FastJson::Document doc{&valuePool, 1024, &stackPool};
    PacketCodec::JsonBuffer buffer;

    bool parseArray(QStringView text)
    {
        return PacketCodec::parseJson(text, &doc, &buffer) && doc.IsArray();
    }
};

// An array as Qt's values. Qt's own parser builds them at a fraction of the cost of appending
// the fast parser's values one by one.
bool qtArray(QStringView text, QJsonArray *array)
{
    QJsonValue value;
    if (!PacketCodec::decodeValue(text, &value, nullptr) || !value.isArray())
        return false;
    *array = value.toArray();
    return true;
}

} // namespace

bool ClientCore::dispatchRaw(QStringView text)
{
    PacketCodec::Header header;
    const int pos = PacketCodec::decodeHeader(text, &header, nullptr);
    if (pos < 0 || header.type != PacketType::Event)
        return false;
    Namespace *ns = find(header.nsp);
    // Early events wait as plain packets, so they keep their order among the rest.
    if (!ns || ns->state != NspState::Open)
        return false;
    const QStringView body = text.mid(pos);
    const Socket::Handlers handlers = ns->socket->handlers(PacketCodec::peekEventNameView(body));
    const bool raw = handlers.raw && *handlers.raw;
    // No handler at all: the general path says so.
    if (!raw && (!handlers.plain || !*handlers.plain))
        return false;
    Ack ack(header.ackId >= 0);
    const quint64 epoch = m_epoch;
    if (raw) {
        StackJson json;
        if (!json.parseArray(body) || json.doc.Empty() || !json.doc[0].IsString())
            return false;
        if (m_shared->alive())
            (*handlers.raw)(json.doc, ack);
    } else {
        QJsonArray args;
        if (!qtArray(body, &args) || args.isEmpty() || !args.at(0).isString())
            return false;
        // The array's only owner, so taking the name off does not copy it.
        args.removeFirst();
        if (m_shared->alive())
            (*handlers.plain)(args, ack);
    }
    if (header.ackId >= 0) {
        Packet packet;
        packet.nsp = ns->socket->nsp();
        packet.ackId = header.ackId;
        answer(packet, ack, epoch);
    }
    return true;
}

// Text a parser here refuses gets the general path, which reads or reports it as before.
bool ClientCore::dispatchAck(QStringView text)
{
    PacketCodec::Header header;
    const int pos = PacketCodec::decodeHeader(text, &header, nullptr);
    if (pos < 0 || header.type != PacketType::Ack || header.ackId < 0)
        return false;
    auto it = m_acks.find(header.ackId);
    if (it == m_acks.end() || it->nsp != header.nsp)
        return false;
    QJsonArray data;
    if (!qtArray(text.mid(pos), &data))
        return false;
    const Socket::AckCallback callback = std::move(it->callback);
    m_acks.erase(it);
    if (m_shared->alive())
        callback(data);
    return true;
}

void ClientCore::answer(const Packet &packet, const Ack &ack, quint64 epoch)
{
    if (!packet.hasAckId() || epoch != m_epoch)
        return;
    Namespace *ns = find(packet.nsp);
    if (!ns || ns->state != NspState::Open)
        return;
    Packet reply;
    reply.type = PacketType::Ack;
    reply.nsp = packet.nsp;
    reply.ackId = packet.ackId;
    reply.data = ack.data();
    sendPacket(reply);
}

void ClientCore::handleAck(const Packet &packet)
{
    auto it = m_acks.find(packet.ackId);
    if (it == m_acks.end() || it->nsp != packet.nsp) {
        qCWarning(lcSio) << "ignoring an ack for unknown id" << packet.ackId << "on" << packet.nsp;
        return;
    }
    const Socket::AckCallback callback = std::move(it->callback);
    m_acks.erase(it);
    if (m_shared->alive())
        callback(packet.data.toArray());
}

void ClientCore::armAckTimer()
{
    if (m_acks.isEmpty()) {
        if (m_ackTimer)
            m_ackTimer->stop();
        return;
    }
    if (!m_ackTimer) {
        m_ackTimer = new QTimer(this);
        m_ackTimer->setSingleShot(true);
        QObject::connect(m_ackTimer, &QTimer::timeout, this, &ClientCore::expireAcks);
    }
    const qint64 wait = qMax<qint64>(0, m_acks.first().due - m_clock.elapsed());
    m_ackTimer->start(int(qMin<qint64>(wait, m_settings.ackTimeoutMs)));
}

void ClientCore::expireAcks()
{
    // Taken out first: a failure callback may close or emit, which changes the map.
    QList<PendingAck> late;
    const qint64 now = m_clock.elapsed();
    while (!m_acks.isEmpty() && m_acks.first().due <= now)
        late.append(m_acks.take(m_acks.firstKey()));
    if (!late.isEmpty()) {
        const QString reason =
            QStringLiteral("no answer within %1 ms").arg(m_settings.ackTimeoutMs);
        // One line for a server that stopped answering altogether.
        QString line = QStringLiteral("emit of %1 on %2: %3")
                           .arg(late.first().event, late.first().nsp, reason);
        if (late.size() > 1)
            line += QStringLiteral(" (and %1 more)").arg(late.size() - 1);
        qCWarning(lcSio).noquote() << line;
        for (PendingAck &pending : late) {
            if (pending.onFailure && m_shared->alive())
                pending.onFailure(Socket::Failure::TimedOut, reason);
        }
    }
    armAckTimer();
}

void ClientCore::send(const QString &nsp, Outgoing outgoing)
{
    if (outgoing.ack && m_acks.size() >= maxPendingAcks) {
        qCWarning(lcSio).noquote()
            << "emit of" << outgoing.event << "on" << nsp << "refused:" << maxPendingAcks
            << "acknowledgements are awaited";
        failed(outgoing, Socket::Failure::TooManyPending,
               QStringLiteral("too many acknowledgements awaited"));
        return;
    }
    QString header;
    header.reserve(int(nsp.size()) + 24);
    PacketCodec::appendHeader(header, PacketType::Event, nsp, outgoing.ack ? m_nextAckId : -1);
    QString error = QStringLiteral("not connected");
    bool tooLarge = false;
    const bool sent =
        m_connection && m_connection->sendMessage(header, outgoing.json, &error, &tooLarge);
    if (!sent) {
        qCWarning(lcSio).noquote()
            << "emit of" << outgoing.event << "on" << nsp << "failed:" << error;
        failed(outgoing, tooLarge ? Socket::Failure::TooLarge : Socket::Failure::NotConnected,
               error);
        return;
    }
    if (outgoing.ack) {
        if (!m_clock.isValid())
            m_clock.start();
        const bool first = m_acks.isEmpty();
        m_acks.insert(m_nextAckId, PendingAck{nsp, outgoing.event, std::move(outgoing.ack),
                                              std::move(outgoing.onFailure),
                                              m_clock.elapsed() + m_settings.ackTimeoutMs});
        ++m_nextAckId;
        if (first)
            armAckTimer();
    }
}

bool ClientCore::sendPacket(const Packet &packet, const QString &body)
{
    QString error;
    if (m_connection && m_connection->sendMessage(PacketCodec::encodePacket(packet) + body, &error))
        return true;
    qCWarning(lcSio) << "could not send a packet on" << packet.nsp << ":" << error;
    return false;
}

void ClientCore::dropAcks(const QString &nsp)
{
    for (auto it = m_acks.begin(); it != m_acks.end();) {
        if (it->nsp == nsp)
            it = m_acks.erase(it);
        else
            ++it;
    }
}

ClientCore::Namespace *ClientCore::find(QStringView nsp)
{
    auto it = m_namespaces.find(nsp);
    return it == m_namespaces.end() ? nullptr : &it->second;
}

void ClientCore::notifyFail(const QString &reason)
{
    if (auto listener = m_shared->failListener())
        listener(reason);
}

void ClientCore::notifyReconnecting(const QString &reason)
{
    if (auto listener = m_shared->reconnectingListener())
        listener(reason);
}

} // namespace sio
