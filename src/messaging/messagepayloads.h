#pragma once

#include "groupentry.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// A chat message on its way out, as the send operations gather it.
struct OutgoingMessage
{
    QString conversation; // the other user's id, or the group id
    QString msg;
    QString sendTypes; // "text", "img" or "file"
    QString filePathas;
    int fileIndex = 0;
    qulonglong id = 0;
    QString attachmentId;
    qint64 fileSize = 0;
    QString userName; // groups only: the sender's display name
};

// The payloads of the events the engine sends. Pure functions, so each request's shape can be
// checked without a connection.
class MessagePayloads
{
public:
    // {"type": "socketClient", "loginUserId": ...}: the leave notice and the heartbeat.
    static QJsonObject clientNotice(const QString &userId);

    static QJsonObject privateMessage(const OutgoingMessage &message, const QString &userId);
    static QJsonObject groupMessage(const OutgoingMessage &message, const QString &userId,
                                    const GroupEntry &group);

    static QJsonObject privateRead(const QString &partner, const QString &userId, qint64 mark);
    static QJsonObject groupRead(const QString &groupId, const QString &userId, qint64 mark);

    // "get record": types "2" private, "3" group, anything else an empty object.
    static QJsonObject recordRequest(const QString &ids, const QString &types, int limits,
                                     const QString &userId);

    // A history search. False (nothing to send) unless findTypes is 1 (text: "get record"),
    // 2 (pictures) or 3 (files: both "get imageRecord"). `times` is a date "yyyy-MM-dd" (an
    // unreadable one counts as none), `findConts` a text to look for.
    static bool historyRequest(const QString &userIds, int limits, const QString &times,
                               const QString &chatTypes, const QString &findConts, int findTypes,
                               const QString &userId, QString *event, QJsonObject *request);

    // "get lastrecord" from the documents' JSON array of {"id", "types"}; false when `contents`
    // is not an array.
    static bool lastRecordRequest(const QString &contents, QJsonArray *request);

    static QJsonObject newGroup(const QString &id, const QString &name, const QString &creator,
                                const QStringList &members, const QString &time);
    static QJsonObject groupEdit(const QString &id, const QString &name, const QStringList &members,
                                 const QStringList &added, const QStringList &removed);
    // The group object, its members also under "group_member".
    static QJsonObject groupDelete(const GroupEntry &group);
};
