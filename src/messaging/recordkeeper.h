#pragma once

#include "messagerecord.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <functional>

// A search of the records kept on this machine: one conversation, optionally a time range
// (ms, both ends included), a text the message holds and an attachment kind.
struct KeptRecordQuery
{
    bool group = false;
    QString conversation;
    qint64 fromMs = 0;
    qint64 toMs = 0;
    QString text;
    QString msgType; // "" any, "img" or "file"
    int limit = 50;
};

// A conversation's row in the list as kept on this machine. As a change handed to the keeper,
// empty texts, a zero time and a negative count leave what is kept; `oneMoreUnread` counts a
// message that arrived, and `removed` takes the row out of the list (a deleted group).
struct KeptConversation
{
    bool group = false;
    QString id;
    QString name;
    QString text;
    QString msgType;
    qint64 timeMs = 0;
    int unread = -1;
    bool oneMoreUnread = false;
    bool removed = false;
    // The writer of the last message, and in a group the writer's name.
    QString creator;
    QString senderName;
};

// Where the engine's stores hand every record they take in, to keep it beyond the process (the
// local history). The store calls keep*() with its lock held, so they may only queue.
class RecordKeeper
{
public:
    using PrivateTable = QMap<QString, QMap<qulonglong, MessageRecord>>;
    using GroupTable = QMap<QString, QMap<qulonglong, GroupMessageRecord>>;
    using Found = std::function<void(const PrivateTable &, const GroupTable &)>;

    virtual ~RecordKeeper() = default;
    virtual void keepPrivate(const QString &conversation, qulonglong id,
                             const MessageRecord &record) = 0;
    virtual void keepGroup(const QString &groupId, qulonglong id,
                           const GroupMessageRecord &record) = 0;
    // Answers later, on the thread of `context` (never when it is gone), with the records found
    // (marked as kept locally).
    virtual void find(const KeptRecordQuery &query, QObject *context, Found found) = 0;
    // A change to the conversation list (the service's last messages and counts, a read mark).
    virtual void keepConversation(const KeptConversation &change) { Q_UNUSED(change) }
};
