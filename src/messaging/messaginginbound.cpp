// The engine's handlers of the service's events. They run on the socket.io network thread; each
// one ignores a payload of the wrong kind and reads what it needs defensively. Every change of
// the stores, and what it announces, is handed to the engine's thread in the order the events
// came (SignalOutbox), so the stores have one writer: a group deleted after a message to it
// stays deleted. Chat messages, the bulk of the traffic, are read with the fast parser and reach
// the engine's thread as finished records.

#include "messaginginbound.h"

#include "conversationstore.h"
#include "inboundjson.h"
#include "logging.h"
#include "messagejson.h"
#include "reminders/systeminformation.h"
#include "session/parameterinfor.h"
#include "signaloutbox.h"
#include "sio/socket.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSet>

const MessagingInbound::Inbound MessagingInbound::inboundTable[] = {
    {"private message", &MessagingInbound::onNewPrivateMessage},
    {"group message", &MessagingInbound::onGroupMessage},
    {"update record", &MessagingInbound::onUpdateRecord},
    {"group updateRecordInfo", &MessagingInbound::onUpdateGroudRecord},
    {"send recordLength", &MessagingInbound::onRecordLength},
    {"send groupRecordLength", &MessagingInbound::onGroupRecordLength},
    {"send groupRecord", &MessagingInbound::onGroupRecord},
    {"metion callback", &MessagingInbound::onMetionCallback},
    {"tarnex.system-message-channel", &MessagingInbound::onSystemMessageChannel},
    {"onlineUsers", &MessagingInbound::onLineUsersInfor},
    {"add group", &MessagingInbound::onAddGroup},
    {"edit groupCB", &MessagingInbound::onEditGroupCB},
    {"edit groupDelete", &MessagingInbound::onEditGroupDelete},
    {"edit groupAdd", &MessagingInbound::onEditGroupAdd},
    {"edit group", &MessagingInbound::onEditGroup},
    {nullptr, nullptr},
};

namespace {

// Payloads hold message texts and member lists: a diagnostic line gives their shape only.
QString shapeOf(const QJsonValue &payload)
{
    const int bytes = QJsonDocument(QJsonArray{payload}).toJson(QJsonDocument::Compact).size();
    const char *kind = payload.isObject()   ? "object"
                       : payload.isArray()  ? "array"
                       : payload.isString() ? "text"
                                            : "value";
    return QStringLiteral("%1 of %2 bytes").arg(QLatin1String(kind)).arg(bytes);
}

bool expectObject(const QJsonValue &payload, const char *event)
{
    if (payload.isObject())
        return true;
    qCDebug(lcMessaging) << "ignored" << event << "that is not an object:" << shapeOf(payload);
    return false;
}

} // namespace

MessagingInbound::MessagingInbound(ConversationStore &store, SignalOutbox &outbox,
                                   UserIdSource userId, KeepConversation keep,
                                   ParameterInfor &parameters, SystemInformation &reminders,
                                   QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_outbox(outbox)
    , m_userId(std::move(userId))
    , m_keep(std::move(keep))
    , m_parameters(parameters)
    , m_reminders(reminders)
{}

void MessagingInbound::bind(sio::Socket &socket)
{
    for (const Inbound *inbound = inboundTable; inbound->event; ++inbound) {
        const Handler handler = inbound->handler;
        socket.on(QLatin1String(inbound->event),
                  [this, handler](const QJsonArray &args, sio::Ack &) {
                      (this->*handler)(args.isEmpty() ? QJsonValue() : args.first());
                  });
    }
    socket.onRaw(QStringLiteral("private message"),
                 [this](const FastJson::Value &event, sio::Ack &) { onRawPrivateMessage(event); });
    socket.onRaw(QStringLiteral("group message"),
                 [this](const FastJson::Value &event, sio::Ack &) { onRawGroupMessage(event); });
}

QStringList MessagingInbound::inboundEvents()
{
    QStringList events;
    for (const Inbound *inbound = inboundTable; inbound->event; ++inbound)
        events << QLatin1String(inbound->event);
    return events;
}

bool MessagingInbound::dispatch(const QString &event, const QJsonArray &args)
{
    for (const Inbound *inbound = inboundTable; inbound->event; ++inbound) {
        if (event == QLatin1String(inbound->event)) {
            (this->*(inbound->handler))(args.isEmpty() ? QJsonValue() : args.first());
            return true;
        }
    }
    return false;
}

// Emits on the outbox's thread, in order with everything handed over before.
void MessagingInbound::deliver(std::function<void()> work)
{
    m_outbox.post(std::move(work));
}

void MessagingInbound::onNewPrivateMessage(const QJsonValue &payload)
{
    if (!expectObject(payload, "private message"))
        return;
    qulonglong id = 0;
    MessageRecord record = MessageJson::privateRecord(payload.toObject(), &id);
    deliverPrivate(std::move(record), id);
}

void MessagingInbound::onGroupMessage(const QJsonValue &payload)
{
    if (!expectObject(payload, "group message"))
        return;
    qulonglong id = 0;
    GroupMessageRecord record = MessageJson::groupRecord(payload.toObject(), &id);
    deliverGroup(std::move(record), id);
}

// The busy events as the fast parser read them; the same records as from the plain handlers.
void MessagingInbound::onRawPrivateMessage(const FastJson::Value &event)
{
    if (event.Size() < 2 || !event[1].IsObject()) {
        qCDebug(lcMessaging) << "ignored private message that is not an object";
        return;
    }
    qulonglong id = 0;
    MessageRecord record = InboundJson::privateRecord(event[1], &id);
    deliverPrivate(std::move(record), id);
}

void MessagingInbound::onRawGroupMessage(const FastJson::Value &event)
{
    if (event.Size() < 2 || !event[1].IsObject()) {
        qCDebug(lcMessaging) << "ignored group message that is not an object";
        return;
    }
    qulonglong id = 0;
    GroupMessageRecord record = InboundJson::groupRecord(event[1], &id);
    deliverGroup(std::move(record), id);
}

// Read here, on the network thread; stored and announced on the engine's thread, in the order
// the events came.
void MessagingInbound::deliverPrivate(MessageRecord record, qulonglong id)
{
    if (record.creator.isEmpty()) {
        qCDebug(lcMessaging) << "ignored a private message without a sender";
        return;
    }
    record.sendStatus = QStringLiteral("3");
    deliver([this, id, record = std::move(record)]() {
        m_store.insertPrivate(record.creator, id, record);
        KeptConversation arrived;
        arrived.id = record.creator;
        arrived.oneMoreUnread = true;
        m_keep(arrived);
        emit sigPrivareMessage(record.creator, MessageJson::privateText(record));
    });
}

void MessagingInbound::deliverGroup(GroupMessageRecord record, qulonglong id)
{
    if (record.groupId.isEmpty()) {
        qCDebug(lcMessaging) << "ignored a group message without a group";
        return;
    }
    record.unread = QStringLiteral("0");
    record.sendStatus = QStringLiteral("3");
    deliver([this, id, record = std::move(record)]() {
        if (record.creator == m_userId()) {
            // The service's echo of the user's own message: it has it.
            emit sigGroupMessageStatusSelf(record.groupId, id, record.creator);
            return;
        }
        m_store.insertGroup(record.groupId, id, record);
        KeptConversation arrived;
        arrived.group = true;
        arrived.id = record.groupId;
        arrived.name = record.groupName;
        arrived.oneMoreUnread = true;
        m_keep(arrived);
        emit sigGroupMessage(record.groupId, false, MessageJson::groupText(record, false));
    });
}

void MessagingInbound::onUpdateRecord(const QJsonValue &payload)
{
    if (!expectObject(payload, "update record"))
        return;
    const QJsonObject object = payload.toObject();
    const QString to = JsonField::id(object.value(QLatin1String("to")));
    if (to.isEmpty())
        return;
    const qulonglong msgId = MessageJson::readId(object.value(QLatin1String("msg_id")));
    deliver(
        [this, to, msgId]() { emit sigPrivareMessageStatusSelf(to, msgId, QStringLiteral("3")); });
}

void MessagingInbound::onUpdateGroudRecord(const QJsonValue &payload)
{
    if (!expectObject(payload, "group updateRecordInfo"))
        return;
    const QJsonObject object = payload.toObject();
    const QString groupId = JsonField::id(object.value(QLatin1String("group_id")));
    const QString reader = JsonField::id(object.value(QLatin1String("id")));
    if (groupId.isEmpty() || reader.isEmpty())
        return;
    const qulonglong msgId = MessageJson::readId(object.value(QLatin1String("msg_id")));
    deliver([this, groupId, msgId, reader]() {
        emit sigGroupMessageStatusSelf(groupId, msgId, reader);
    });
}

void MessagingInbound::onRecordLength(const QJsonValue &payload)
{
    if (!expectObject(payload, "send recordLength"))
        return;
    const QJsonObject counts = payload.toObject();
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        const int count = MessageJson::readCount(it.value(), 0);
        if (count > 0 && !it.key().isEmpty())
            deliver([this, id = it.key(), count]() {
                KeptConversation counted;
                counted.id = id;
                counted.unread = count;
                m_keep(counted);
                emit sigMessageUnreadNums(id, count, QStringLiteral("2"), QString());
            });
    }
}

void MessagingInbound::onGroupRecordLength(const QJsonValue &payload)
{
    if (!expectObject(payload, "send groupRecordLength"))
        return;
    const QJsonObject object = payload.toObject();
    const QString id = JsonField::id(object.value(QLatin1String("id")));
    if (id.isEmpty())
        return;
    const QJsonObject info = object.value(QLatin1String("info")).toObject();
    const int length = MessageJson::readCount(object.value(QLatin1String("length")), -1);
    const QString name = JsonField::text(info.value(QLatin1String("name")));
    deliver([this, id, length, name]() {
        KeptConversation counted;
        counted.group = true;
        counted.id = id;
        counted.name = name;
        counted.unread = length;
        m_keep(counted);
        emit sigMessageUnreadNums(id, length, QStringLiteral("3"), name);
    });
}

void MessagingInbound::onGroupRecord(const QJsonValue &payload)
{
    qCDebug(lcMessaging) << "send groupRecord:" << shapeOf(payload);
}

void MessagingInbound::onMetionCallback(const QJsonValue &payload)
{
    qCDebug(lcMessaging) << "metion callback:" << shapeOf(payload);
}

void MessagingInbound::onSystemMessageChannel(const QJsonValue &payload)
{
    if (!payload.isString()) {
        qCDebug(lcMessaging) << "ignored a system message that is not a text";
        return;
    }
    // Unreadable text gives an empty object, which names no recipient.
    QJsonValue parsed;
    PeerJson::parse(payload.toString().toUtf8(), &parsed);
    const QJsonObject object = parsed.toObject();
    const QString me = m_userId();
    bool recipient = false;
    const QJsonArray recipients = object.value(QLatin1String("recipients")).toArray();
    for (const QJsonValue &value : recipients) {
        if (!me.isEmpty() && JsonField::id(value) == me) {
            recipient = true;
            break;
        }
    }
    if (!recipient)
        return;
    const QJsonValue paramsValue = object.value(QLatin1String("params"));
    QString params = JsonField::id(paramsValue);
    if (paramsValue.isObject())
        params =
            QString::fromUtf8(QJsonDocument(paramsValue.toObject()).toJson(QJsonDocument::Compact));
    else if (paramsValue.isArray())
        params =
            QString::fromUtf8(QJsonDocument(paramsValue.toArray()).toJson(QJsonDocument::Compact));
    // The reminder's id is made of the digits of the params text; kept as text, so however
    // many there are, nothing overflows.
    QString ida;
    for (const QChar c : params) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9') &&
            !(ida.isEmpty() && c == QLatin1Char('0')))
            ida += c;
    }
    if (ida.isEmpty())
        ida = QStringLiteral("0");
    deliver([this, ida, params, menu = JsonField::id(object.value(QLatin1String("sms_menu"))),
             type = JsonField::text(object.value(QLatin1String("sms_type"))),
             content = JsonField::text(object.value(QLatin1String("content"))),
             sendTime = JsonField::id(object.value(QLatin1String("send_time")))]() {
        m_reminders.receiveSystemMessage(ida, params, menu, type, content, sendTime);
    });
}

void MessagingInbound::onLineUsersInfor(const QJsonValue &payload)
{
    if (!expectObject(payload, "onlineUsers"))
        return;
    const QJsonArray list = payload.toObject().value(QLatin1String("onlineUsers")).toArray();
    QSet<QString> now;
    for (const QJsonValue &value : list) {
        if (value.isString() && !value.toString().isEmpty())
            now.insert(value.toString());
    }
    ParameterInfor *parameters = &m_parameters;
    const QStringList before = parameters->onlineUsers();
    const QSet<QString> known(before.cbegin(), before.cend());
    QStringList added;
    for (const QString &id : qAsConst(now)) {
        if (!known.contains(id))
            added << id;
    }
    QStringList removed;
    for (const QString &id : before) {
        if (!now.contains(id))
            removed << id;
    }
    parameters->uniteOnline(added);
    parameters->subtractOnline(removed);
    added.sort();
    removed.sort();
    deliver([parameters, added, removed]() {
        if (!added.isEmpty())
            emit parameters->sigOnlineUsersChange(added, 1);
        if (!removed.isEmpty())
            emit parameters->sigOnlineUsersChange(removed, 0);
    });
}

void MessagingInbound::onAddGroup(const QJsonValue &payload)
{
    if (!expectObject(payload, "add group"))
        return;
    const GroupEntry entry = MessageJson::groupEntry(payload.toObject());
    if (entry.id.isEmpty())
        return;
    deliver([this, entry]() {
        m_store.upsertGroup(entry);
        emit sigAddGroup(entry.id);
    });
}

void MessagingInbound::onEditGroupAdd(const QJsonValue &payload)
{
    if (!expectObject(payload, "edit groupAdd"))
        return;
    GroupEntry entry = MessageJson::groupEntry(payload.toObject());
    if (entry.id.isEmpty())
        return;
    const QString now = MessageJson::formatTime(QDateTime::currentMSecsSinceEpoch());
    if (entry.createTime.isEmpty())
        entry.createTime = now;
    if (entry.updateTime.isEmpty())
        entry.updateTime = now;
    deliver([this, entry]() {
        m_store.upsertGroup(entry);
        emit sigAddGroup(entry.id);
    });
}

void MessagingInbound::onEditGroupCB(const QJsonValue &payload)
{
    if (!expectObject(payload, "edit groupCB"))
        return;
    const QJsonObject object = payload.toObject();
    const QString id = JsonField::id(object.value(QLatin1String("id")));
    if (id.isEmpty())
        return;
    const QString name = JsonField::text(object.value(QLatin1String("name")));
    const QStringList members = MessageJson::readIds(object.value(QLatin1String("members")));
    const QStringList added = MessageJson::readIds(object.value(QLatin1String("addArray")));
    const QStringList removed = MessageJson::readIds(object.value(QLatin1String("deleteArray")));
    deliver([this, id, name, members, isAdd = !added.isEmpty(),
             deletes = removed.join(QLatin1Char(','))]() {
        m_store.updateGroup(id, name, members);
        emit sigEditGroupCB(id, isAdd, deletes);
    });
}

void MessagingInbound::onEditGroupDelete(const QJsonValue &payload)
{
    if (!expectObject(payload, "edit groupDelete"))
        return;
    const QString id = JsonField::id(payload.toObject().value(QLatin1String("id")));
    if (id.isEmpty())
        return;
    deliver([this, id]() {
        m_store.removeGroupAndConversation(id);
        KeptConversation gone;
        gone.group = true;
        gone.id = id;
        gone.removed = true;
        m_keep(gone);
        emit sigEditGroupDelete(id);
    });
}

void MessagingInbound::onEditGroup(const QJsonValue &payload)
{
    qCDebug(lcMessaging) << "edit group:" << shapeOf(payload);
}
