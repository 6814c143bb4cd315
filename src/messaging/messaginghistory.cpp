// Records, history searches, last records and unread counts, with the replies that fill the
// stores; and the local history's side of them: what it kept shown at start and while offline,
// and forgotten when the user clears it.

#include "messaginghistory.h"

#include "conversationtypes.h"
#include "logging.h"
#include "messagejson.h"
#include "messagepayloads.h"
#include "signaloutbox.h"
#include "sio/socket.h"
#include "json/jsonfield.h"

#include <QDate>
#include <QDateTime>

namespace {

using ConversationTypes::groupType;
using ConversationTypes::privateType;

// The message texts of a conversation, oldest first, for the documents.
template <typename Conversation, typename ToText>
QStringList textsOf(const Conversation &conversation, ToText toText)
{
    QStringList texts;
    texts.reserve(conversation.size());
    for (const auto &record : conversation)
        texts << toText(record);
    return texts;
}

QStringList privateTexts(const ConversationStore::PrivateConversation &conversation)
{
    return textsOf(conversation,
                   [](const MessageRecord &record) { return MessageJson::privateText(record); });
}

QStringList groupTexts(const ConversationStore::GroupConversation &conversation, const QString &me)
{
    return textsOf(conversation, [&me](const GroupMessageRecord &record) {
        return MessageJson::groupText(record, record.creator == me);
    });
}

} // namespace

MessagingHistory::MessagingHistory(std::shared_ptr<sio::Socket> socket, ConversationStore &store,
                                   SignalOutbox &outbox, UserIdSource userId,
                                   SignedInSource signedIn, QObject *parent)
    : QObject(parent)
    , m_socket(std::move(socket))
    , m_store(store)
    , m_outbox(outbox)
    , m_userId(std::move(userId))
    , m_signedIn(std::move(signedIn))
{}

void MessagingHistory::forgetAccount()
{
    m_keeper.reset();
    m_keptConversations.clear();
    m_historyRequests = 0;
    m_historyReplies = 0;
}

void MessagingHistory::setRecordKeeper(std::shared_ptr<RecordKeeper> keeper)
{
    m_keeper = keeper;
    m_store.setKeeper(std::move(keeper));
}

void MessagingHistory::showKept(const RecordKeeper::PrivateTable &privateRecords,
                                const RecordKeeper::GroupTable &groupRecords)
{
    m_store.mergeKept(privateRecords, groupRecords);
    emit sigGetRecord();
    // The conversation list shows each one's newest message until the service says more.
    auto announce = [this](const QString &ids, const MessageRecord &record, const QString &types) {
        bool ok = false;
        const qint64 ms = record.sendTime.toLongLong(&ok);
        const QString times =
            ok ? QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral(" hh:mm")) : QString();
        emit sigSendLastMessageInfor(ids, record.msg, types, times);
    };
    for (auto it = privateRecords.cbegin(); it != privateRecords.cend(); ++it) {
        if (!it->isEmpty())
            announce(it.key(), it->last(), QStringLiteral("2"));
    }
    for (auto it = groupRecords.cbegin(); it != groupRecords.cend(); ++it) {
        if (!it->isEmpty())
            announce(it.key(), it->last(), QStringLiteral("3"));
    }
}

void MessagingHistory::showKeptConversations(const QVector<KeptConversation> &conversations)
{
    m_keptConversations = conversations;
    emit sigKeptConversations();
}

void MessagingHistory::keepConversation(const KeptConversation &change)
{
    if (m_keeper)
        m_keeper->keepConversation(change);
}

void MessagingHistory::keepConversationName(const QString &ids, const QString &types,
                                            const QString &name)
{
    if (ids.isEmpty() || name.isEmpty() || name == ids ||
        (types != QLatin1String("2") && types != QLatin1String("3")))
        return;
    KeptConversation change;
    change.group = types == QLatin1String("3");
    change.id = ids;
    change.name = name;
    keepConversation(change);
}

void MessagingHistory::forgetKept()
{
    m_store.forgetKept();
    m_keptConversations.clear();
    emit sigKeptConversations();
    emit sigHistoryCleared();
}

KeptRecordQuery MessagingHistory::keptQuery(const QString &userIds, int limits,
                                            const QString &times, const QString &chatTypes,
                                            const QString &findConts, int findTypes)
{
    KeptRecordQuery query;
    query.group = chatTypes == QLatin1String("3");
    query.conversation = userIds;
    query.limit = qMax(1, limits);
    if (findTypes == 2)
        query.msgType = QStringLiteral("img");
    else if (findTypes == 3)
        query.msgType = QStringLiteral("file");
    const QDate date = QDate::fromString(times, QStringLiteral("yyyy-MM-dd"));
    if (findTypes == 1 && date.isValid()) {
        query.fromMs = QDateTime(date, QTime(0, 0, 0)).toMSecsSinceEpoch();
        query.toMs = QDateTime(date, QTime(23, 59, 59, 999)).toMSecsSinceEpoch();
    }
    if (findTypes == 1)
        query.text = findConts;
    // A search by day or text has no page size at the service; a bound here all the same.
    if (query.fromMs > 0 || !query.text.isEmpty())
        query.limit = qMax(query.limit, 500);
    return query;
}

void MessagingHistory::findKept(const KeptRecordQuery &query, bool history)
{
    if (!m_keeper)
        return;
    m_keeper->find(query, this,
                   [this, history, online = m_signedIn()](const RecordKeeper::PrivateTable &p,
                                                          const RecordKeeper::GroupTable &g) {
                       if (!history) {
                           m_store.mergeKept(p, g);
                           emit sigGetRecord();
                       } else if (online) {
                           // Added to what the service found.
                           m_store.addHistory(p, g);
                           emit sigHistoryGetRecord();
                       } else {
                           m_store.replaceHistory(p, g, false);
                           emit sigHistoryGetRecord();
                       }
                   });
}

void MessagingHistory::findKeptFirst(const KeptRecordQuery &query)
{
    const quint64 request = m_historyRequests;
    const quint64 replies = m_historyReplies;
    m_keeper->find(query, this,
                   [this, request, replies](const RecordKeeper::PrivateTable &p,
                                            const RecordKeeper::GroupTable &g) {
                       if (m_historyRequests != request || m_historyReplies != replies)
                           return;
                       m_store.replaceHistory(p, g, false);
                       emit sigHistoryGetRecord();
                   });
}

void MessagingHistory::getRecord(const QString &ids, const QString &types, int limits)
{
    // Without a link the pages seen before come from the local history.
    if (!m_signedIn() && m_keeper && (types == privateType || types == groupType)) {
        KeptRecordQuery query;
        query.group = types == groupType;
        query.conversation = ids;
        query.limit = limits;
        findKept(query, false);
        return;
    }
    m_socket->emitEvent(
        QStringLiteral("get record"),
        QJsonArray{MessagePayloads::recordRequest(ids, types, limits, m_userId())},
        [this, ids, limits](const QJsonArray &ack) { applyRecordReply(ack, ids, false, limits); });
}

void MessagingHistory::getUserHistoryLength(const QString &userIds, int limits,
                                            const QString &times, const QString &chatTypes,
                                            const QString &findConts, int findTypes)
{
    QString event;
    QJsonObject request;
    if (!MessagePayloads::historyRequest(userIds, limits, times, chatTypes, findConts, findTypes,
                                         m_userId(), &event, &request)) {
        qCDebug(lcMessaging) << "history search of unknown kind" << findTypes << "not sent";
        return;
    }
    const KeptRecordQuery local =
        keptQuery(userIds, limits, times, chatTypes, findConts, findTypes);
    if (!m_signedIn() && m_keeper) {
        findKept(local, true);
        return;
    }
    // A text search also looks through the local history, at once and again with the reply.
    const KeptRecordQuery search = findConts.isEmpty() ? KeptRecordQuery() : local;
    ++m_historyRequests;
    if (m_keeper && !search.conversation.isEmpty())
        findKeptFirst(search);
    m_socket->emitEvent(event, QJsonArray{request}, [this, userIds, search](const QJsonArray &ack) {
        applyRecordReply(ack, userIds, true, 0, search);
    });
}

void MessagingHistory::applyRecordReply(const QJsonArray &ack, const QString &ids, bool history,
                                        int limit, const KeptRecordQuery &search)
{
    const QString me = m_userId();
    ConversationStore::PrivateTable privateRecords;
    ConversationStore::GroupTable groupRecords;
    const QJsonArray list = ack.isEmpty() ? QJsonArray() : ack.first().toArray();
    for (const QJsonValue &value : list) {
        if (!value.isObject())
            continue;
        const QJsonObject object = value.toObject();
        const qulonglong id = MessageJson::readId(object.value(QLatin1String("msg_id")));
        if (object.value(QLatin1String("type")).toString() == QLatin1String("personal_group")) {
            GroupMessageRecord record = MessageJson::groupRecord(object);
            const QString groupId = record.groupId.isEmpty() ? ids : record.groupId;
            record.unread = QStringLiteral("0");
            // The user's own messages are delivered; the read map below tells who read them.
            record.sendStatus = record.creator == me ? QStringLiteral("2") : QStringLiteral("3");
            groupRecords[groupId].insert(id, record);
            continue;
        }
        MessageRecord record = MessageJson::privateRecord(object);
        QString partner = JsonField::id(object.value(QLatin1String("chat_object")));
        if (partner.isEmpty())
            partner = ids;
        // A reload must not show the user's unread messages as read.
        if (record.creator == me && record.haveread != QLatin1String("1"))
            record.sendStatus = QStringLiteral("2");
        else
            record.sendStatus = QStringLiteral("3");
        privateRecords[partner].insert(id, record);
    }

    // A group's reply also says how far each member has read.
    const QJsonObject reads = ack.size() > 1 ? ack.at(1).toObject() : QJsonObject();
    if (history) {
        for (auto it = reads.constBegin(); it != reads.constEnd(); ++it) {
            const qulonglong upTo = MessageJson::readId(it.value());
            if (it.key().isEmpty() || it.key() == me || upTo == 0)
                continue;
            auto group = groupRecords.find(ids);
            if (group != groupRecords.end())
                ConversationStore::markRead(*group, upTo, it.key());
        }
        m_outbox.post([this, privateRecords, groupRecords, search]() {
            ++m_historyReplies;
            m_store.replaceHistory(privateRecords, groupRecords);
            emit sigHistoryGetRecord();
            if (m_keeper && !search.conversation.isEmpty())
                findKept(search, true);
        });
        return;
    }
    const bool fullPage = limit > 0 && list.size() >= limit;
    // Stored on the engine's thread, in order with the live events around the reply.
    m_outbox.post([this, privateRecords, groupRecords, reads, ids, me, fullPage]() {
        m_store.insertPrivate(privateRecords);
        m_store.insertGroup(groupRecords);
        for (auto it = privateRecords.cbegin(); it != privateRecords.cend(); ++it)
            m_store.settleKept(false, it.key(), it->firstKey(), fullPage);
        for (auto it = groupRecords.cbegin(); it != groupRecords.cend(); ++it)
            m_store.settleKept(true, it.key(), it->firstKey(), fullPage);
        for (auto it = reads.constBegin(); it != reads.constEnd(); ++it) {
            const qulonglong upTo = MessageJson::readId(it.value());
            if (!it.key().isEmpty() && it.key() != me && upTo != 0)
                emit groupReadReported(ids, upTo, it.key());
        }
        emit sigGetRecord();
    });
}

void MessagingHistory::getLastrecord(const QString &contents)
{
    QJsonArray request;
    if (!MessagePayloads::lastRecordRequest(contents, &request)) {
        qCDebug(lcMessaging) << "last records: not a list of conversations";
        return;
    }
    m_socket->emitEvent(QStringLiteral("get lastrecord"), QJsonArray{QJsonValue(request)},
                        [this](const QJsonArray &ack) { applyLastRecords(ack); });
}

void MessagingHistory::applyLastRecords(const QJsonArray &ack)
{
    const QJsonObject reply = ack.isEmpty() ? QJsonObject() : ack.first().toObject();
    const QString separator = QStringLiteral("**_**");
    for (auto it = reply.constBegin(); it != reply.constEnd(); ++it) {
        const QString key = it.key();
        QString ids;
        QString types;
        int cut = key.indexOf(separator);
        if (cut >= 0) {
            ids = key.left(cut);
            types = key.mid(cut + separator.size());
        } else {
            // The type is the last piece; an id may hold "_" itself.
            cut = key.lastIndexOf(QLatin1Char('_'));
            ids = cut >= 0 ? key.left(cut) : key;
            types = cut >= 0 ? key.mid(cut + 1) : QString();
        }
        const QString value = JsonField::text(it.value());
        // The time follows the last ",": the content may hold commas of its own.
        const int comma = value.lastIndexOf(QLatin1Char(','));
        const QString contents = comma >= 0 ? value.left(comma) : value;
        QString times;
        bool ok = false;
        const qint64 ms = comma >= 0 ? value.mid(comma + 1).trimmed().toLongLong(&ok) : 0;
        if (ok)
            times = QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral(" hh:mm"));
        m_outbox.post([this, ids, contents, types, times, ms]() {
            KeptConversation change;
            change.group = types == groupType;
            change.id = ids;
            change.text = contents;
            change.timeMs = ms;
            if (types == privateType || types == groupType)
                keepConversation(change);
            emit sigSendLastMessageInfor(ids, contents, types, times);
        });
    }
}

void MessagingHistory::getOutlineRecordLength()
{
    m_socket->emitEvent(QStringLiteral("outline recordLength"), QJsonArray{QString()});
}

QStringList MessagingHistory::getPrivateIdFromInfors(const QString &ids) const
{
    return privateTexts(m_store.privateConversation(ids));
}

QStringList MessagingHistory::getGroupIdFromInfors(const QString &ids) const
{
    return groupTexts(m_store.groupConversation(ids), m_userId());
}

QStringList MessagingHistory::getHistoryPrivateIdFromInfors(const QString &ids) const
{
    return privateTexts(m_store.privateHistory(ids));
}

QStringList MessagingHistory::getHistoryGroupIdFromInfors(const QString &ids) const
{
    return groupTexts(m_store.groupHistory(ids), m_userId());
}
