#pragma once

#include "groupentry.h"
#include "messagerecord.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

// Reading the messaging service's payloads into records, and the JSON texts the documents get
// for each record. Payloads come from the network: every reader accepts any JSON value and falls
// back to an empty text or 0 instead of failing.
class MessageJson
{
public:
    // A message id: a non-negative integer, also given as decimal text; anything else is 0.
    static qulonglong readId(const QJsonValue &value);
    // The same for an id sent as text.
    static qulonglong readIdText(const QString &text);
    // An integer count; `fallback` when the value is no integer that fits an int.
    static int readCount(const QJsonValue &value, int fallback);
    // An attachment descriptor: an object becomes compact JSON without any line feed or space, a
    // string stays as it is.
    static QString readDownload(const QJsonValue &value);
    // Ids joined with "," (empty pieces dropped).
    static QStringList splitIds(const QString &joined);
    // The ids of an array of strings or numbers, or of a text joined with ",".
    static QStringList readIds(const QJsonValue &value);

    // The record fields of a "private message" event or a history element; sendStatus is left
    // for the caller.
    static MessageRecord privateRecord(const QJsonObject &object, qulonglong *id = nullptr);
    // The record fields of a "group message" event or a group history element (sender from
    // "fromDetail", group name and members from "info"); sendStatus and unread are left for the
    // caller.
    static GroupMessageRecord groupRecord(const QJsonObject &object, qulonglong *id = nullptr);

    static GroupEntry groupEntry(const QJsonObject &object);
    // The group as the service expects it: members joined with ",".
    static QJsonObject groupObject(const GroupEntry &entry);

    // The message texts handed to the documents: the record's fields in a fixed order, as
    // indented JSON without line feeds and tabs, send_time shown as local date and time.
    static QString privateText(const MessageRecord &record);
    static QString groupText(const GroupMessageRecord &record, bool isSelf);

    // Local time of a ms timestamp as "yyyy-MM-dd hh:mm:ss".
    static QString formatTime(qint64 ms);
    // formatTime of a decimal ms text; any other text is returned as it is.
    static QString formatSendTime(const QString &ms);
};
