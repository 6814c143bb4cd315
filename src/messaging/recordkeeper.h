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
};
