#pragma once

#include "conversationstore.h"
#include "recordkeeper.h"

#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class SignalOutbox;

namespace sio {
class Socket;
} // namespace sio

// The engine's record and history queries: a conversation's pages, history searches, the last
// message of each conversation and the unread counts, with the replies that fill the stores; and
// the local history (RecordKeeper), which answers the same queries while the link is down and
// keeps the conversation list. Lives on the engine's thread; replies come on the network thread
// and are applied on the outbox's, in order with the live events around them.
class MessagingHistory : public QObject
{
    Q_OBJECT
public:
    // Who is signed in (either thread), and whether the link is signed in (engine's thread).
    using UserIdSource = std::function<QString()>;
    using SignedInSource = std::function<bool()>;

    MessagingHistory(std::shared_ptr<sio::Socket> socket, ConversationStore &store,
                     SignalOutbox &outbox, UserIdSource userId, SignedInSource signedIn,
                     QObject *parent = nullptr);

    void getRecord(const QString &ids, const QString &types, int limits = 10);
    void getUserHistoryLength(const QString &userIds, int limits = 10,
                              const QString &times = QString(),
                              const QString &chatTypes = QStringLiteral("1"),
                              const QString &findConts = QString(), int findTypes = 1);
    void getLastrecord(const QString &contents);
    // Asks for the unread counts, which the service sends as events of their own.
    void getOutlineRecordLength();
    // The message texts of a conversation (live or history), oldest first.
    QStringList getPrivateIdFromInfors(const QString &ids) const;
    QStringList getGroupIdFromInfors(const QString &ids) const;
    QStringList getHistoryPrivateIdFromInfors(const QString &ids) const;
    QStringList getHistoryGroupIdFromInfors(const QString &ids) const;

    // The replies (network thread, or a test's hand-over). `limit` the page asked for (0:
    // unknown); `search` a text search to run locally as well.
    void applyRecordReply(const QJsonArray &ack, const QString &ids, bool history, int limit = 0,
                          const KeptRecordQuery &search = KeptRecordQuery());
    void applyLastRecords(const QJsonArray &ack);

    // The local history (null: none); also handed to the store.
    void setRecordKeeper(std::shared_ptr<RecordKeeper> keeper);
    void showKept(const RecordKeeper::PrivateTable &privateRecords,
                  const RecordKeeper::GroupTable &groupRecords);
    void showKeptConversations(const QVector<KeptConversation> &conversations);
    QVector<KeptConversation> keptConversations() const { return m_keptConversations; }
    void forgetKept();
    // Hands a change of the conversation list to the local history, when there is one.
    void keepConversation(const KeptConversation &change);
    void keepConversationName(const QString &ids, const QString &types, const QString &name);
    static KeptRecordQuery keptQuery(const QString &userIds, int limits, const QString &times,
                                     const QString &chatTypes, const QString &findConts,
                                     int findTypes);
    // A sign-out: the local history and what was shown from it are forgotten (the store is
    // emptied by its owner).
    void forgetAccount();

signals:
    void sigGetRecord();
    void sigHistoryGetRecord();
    void sigHistoryCleared();
    void sigSendLastMessageInfor(const QString &ids, const QString &contents, const QString &types,
                                 const QString &times);
    void sigKeptConversations();
    // A group's page said that `reader` has read it up to `upTo`: applied to the user's own
    // messages by the engine, before sigGetRecord of that page.
    void groupReadReported(const QString &groupId, qulonglong upTo, const QString &reader);

private:
    void findKept(const KeptRecordQuery &query, bool history);
    // A text search's local matches shown while the service has not answered it (nor a newer
    // history request gone out): a silent service still finds what this machine keeps.
    void findKeptFirst(const KeptRecordQuery &query);

    std::shared_ptr<sio::Socket> m_socket;
    ConversationStore &m_store;
    SignalOutbox &m_outbox;
    UserIdSource m_userId;
    SignedInSource m_signedIn;
    std::shared_ptr<RecordKeeper> m_keeper;
    QVector<KeptConversation> m_keptConversations;
    // History requests sent and history replies stored (engine's thread).
    quint64 m_historyRequests = 0;
    quint64 m_historyReplies = 0;
};
