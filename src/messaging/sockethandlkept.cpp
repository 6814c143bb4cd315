// The engine's side of the local history: handing it the stores' records, showing what it kept
// at start and while offline, and forgetting it when the user clears it.

#include "messagejson.h"
#include "sockethandl.h"

#include <QDate>
#include <QDateTime>

void SocketHandl::setRecordKeeper(std::shared_ptr<RecordKeeper> keeper)
{
    m_keeper = keeper;
    m_store.setKeeper(std::move(keeper));
}

void SocketHandl::showKept(const RecordKeeper::PrivateTable &privateRecords,
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

void SocketHandl::showKeptConversations(const QVector<KeptConversation> &conversations)
{
    m_keptConversations = conversations;
    emit sigKeptConversations();
}

void SocketHandl::keepConversation(const KeptConversation &change)
{
    if (m_keeper)
        m_keeper->keepConversation(change);
}

void SocketHandl::keepConversationName(const QString &ids, const QString &types,
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

void SocketHandl::forgetKept()
{
    m_store.forgetKept();
    m_keptConversations.clear();
    emit sigKeptConversations();
    emit sigHistoryCleared();
}

KeptRecordQuery SocketHandl::keptQuery(const QString &userIds, int limits, const QString &times,
                                       const QString &chatTypes, const QString &findConts,
                                       int findTypes)
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

void SocketHandl::findKept(const KeptRecordQuery &query, bool history)
{
    if (!m_keeper)
        return;
    m_keeper->find(query, this,
                   [this, history, online = m_signedIn](const RecordKeeper::PrivateTable &p,
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

void SocketHandl::findKeptFirst(const KeptRecordQuery &query)
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
