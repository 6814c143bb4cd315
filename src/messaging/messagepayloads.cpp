#include "messagepayloads.h"

#include "messagejson.h"
#include "json/jsonfield.h"

#include <QDate>
#include <QDateTime>
#include <QJsonDocument>
#include <QTime>

namespace {

QJsonValue ms(qulonglong value)
{
    return QJsonValue(double(value));
}

QJsonArray idArray(const QStringList &ids)
{
    QJsonArray array;
    for (const QString &id : ids)
        array.append(id);
    return array;
}

} // namespace

QJsonObject MessagePayloads::clientNotice(const QString &userId)
{
    return QJsonObject{{QLatin1String("type"), QStringLiteral("socketClient")},
                       {QLatin1String("loginUserId"), userId}};
}

static void addFileFields(QJsonObject &payload, const OutgoingMessage &message)
{
    if (message.sendTypes == QLatin1String("img")) {
        payload.insert(QLatin1String("file_type"), message.filePathas);
    } else if (message.sendTypes == QLatin1String("file")) {
        payload.insert(QLatin1String("file_type"), message.filePathas);
        payload.insert(QLatin1String("percent"), 100);
        payload.insert(QLatin1String("size"), double(message.fileSize));
        payload.insert(QLatin1String("fileIndex"), message.fileIndex);
        payload.insert(QLatin1String("download"), message.attachmentId);
    }
}

QJsonObject MessagePayloads::privateMessage(const OutgoingMessage &message, const QString &userId)
{
    QJsonObject payload{{QLatin1String("msg"), message.msg},
                        {QLatin1String("creator"), userId},
                        {QLatin1String("msg_type"), message.sendTypes},
                        {QLatin1String("sendType"), QStringLiteral("sending")},
                        {QLatin1String("to"), message.conversation},
                        {QLatin1String("type"), QStringLiteral("user")},
                        {QLatin1String("send_time"), ms(message.id)},
                        {QLatin1String("msg_id"), ms(message.id)}};
    addFileFields(payload, message);
    return payload;
}

QJsonObject MessagePayloads::groupMessage(const OutgoingMessage &message, const QString &userId,
                                          const GroupEntry &group)
{
    QJsonObject payload{
        {QLatin1String("msg"), message.msg},
        {QLatin1String("creator"), userId},
        {QLatin1String("msg_type"), message.sendTypes},
        {QLatin1String("sendType"), QStringLiteral("sending")},
        {QLatin1String("group_id"), message.conversation},
        {QLatin1String("type"), QStringLiteral("personal_group")},
        {QLatin1String("send_time"), ms(message.id)},
        {QLatin1String("msg_id"), ms(message.id)},
        {QLatin1String("fromDetail"), QJsonObject{{QLatin1String("user_id"), userId},
                                                  {QLatin1String("user_name"), message.userName}}},
        {QLatin1String("info"),
         QJsonObject{{QLatin1String("creator"), group.creator},
                     {QLatin1String("name"), group.name},
                     {QLatin1String("group_member"), group.members.join(QLatin1Char(','))}}}};
    addFileFields(payload, message);
    return payload;
}

QJsonObject MessagePayloads::privateRead(const QString &partner, const QString &userId, qint64 mark)
{
    return QJsonObject{{QLatin1String("from"), partner},
                       {QLatin1String("to"), userId},
                       {QLatin1String("type"), QStringLiteral("user")},
                       {QLatin1String("msg_id"), double(mark)}};
}

QJsonObject MessagePayloads::groupRead(const QString &groupId, const QString &userId, qint64 mark)
{
    return QJsonObject{{QLatin1String("group_id"), groupId},
                       {QLatin1String("userId"), userId},
                       {QLatin1String("type"), QStringLiteral("personal_group")},
                       {QLatin1String("msg_id"), double(mark)}};
}

// The conversation part of a record request.
static void addConversation(QJsonObject &request, const QString &ids, const QString &types,
                            const QString &userId)
{
    if (types == QLatin1String("2")) {
        request.insert(QLatin1String("type"), QStringLiteral("user"));
        request.insert(QLatin1String("from"), userId);
        request.insert(QLatin1String("to"), ids);
    } else if (types == QLatin1String("3")) {
        request.insert(QLatin1String("type"), QStringLiteral("personal_group"));
        request.insert(QLatin1String("id"), ids);
    }
}

QJsonObject MessagePayloads::recordRequest(const QString &ids, const QString &types, int limits,
                                           const QString &userId)
{
    QJsonObject request;
    addConversation(request, ids, types, userId);
    if (!request.isEmpty())
        request.insert(QLatin1String("limit"), limits);
    return request;
}

bool MessagePayloads::historyRequest(const QString &userIds, int limits, const QString &times,
                                     const QString &chatTypes, const QString &findConts,
                                     int findTypes, const QString &userId, QString *event,
                                     QJsonObject *request)
{
    if (findTypes < 1 || findTypes > 3)
        return false;
    QJsonObject result;
    addConversation(result, userIds, chatTypes, userId);
    if (findTypes == 1) {
        const QDate date = QDate::fromString(times, QStringLiteral("yyyy-MM-dd"));
        QString range;
        if (date.isValid()) {
            const qint64 start = QDateTime(date, QTime(0, 0, 0)).toMSecsSinceEpoch();
            const qint64 end = QDateTime(date, QTime(23, 59, 59)).toMSecsSinceEpoch();
            range = QString::number(start) + QLatin1Char(',') + QString::number(end);
        }
        if (range.isEmpty() && findConts.isEmpty()) {
            result.insert(QLatin1String("limit"), limits);
        } else if (findConts.isEmpty()) {
            result.insert(QLatin1String("getRecordType"), QStringLiteral("time"));
            result.insert(QLatin1String("keyword"), range);
        } else if (!range.isEmpty()) {
            result.insert(QLatin1String("getRecordType"), QStringLiteral("both"));
            result.insert(QLatin1String("keyword"), range + QLatin1String("_~") + findConts);
        } else {
            result.insert(QLatin1String("getRecordType"), QStringLiteral("string"));
            result.insert(QLatin1String("keyword"), findConts);
        }
        *event = QStringLiteral("get record");
    } else {
        result.insert(QLatin1String("fileType"),
                      findTypes == 2 ? QStringLiteral("img") : QStringLiteral("file"));
        *event = QStringLiteral("get imageRecord");
    }
    *request = result;
    return true;
}

bool MessagePayloads::lastRecordRequest(const QString &contents, QJsonArray *request)
{
    const QJsonDocument document = QJsonDocument::fromJson(contents.toUtf8());
    if (!document.isArray())
        return false;
    QJsonArray result;
    const QJsonArray conversations = document.array();
    for (const QJsonValue &value : conversations) {
        const QJsonObject conversation = value.toObject();
        const QString id = JsonField::id(conversation.value(QLatin1String("id")));
        const QString types = JsonField::text(conversation.value(QLatin1String("types")));
        if (types == QLatin1String("2"))
            result.append(QJsonObject{{QLatin1String("type"), QStringLiteral("user")},
                                      {QLatin1String("id"), id}});
        else if (types == QLatin1String("3"))
            result.append(QJsonObject{{QLatin1String("type"), QStringLiteral("personal_group")},
                                      {QLatin1String("id"), id}});
    }
    *request = result;
    return true;
}

QJsonObject MessagePayloads::newGroup(const QString &id, const QString &name,
                                      const QString &creator, const QStringList &members,
                                      const QString &time)
{
    return QJsonObject{{QLatin1String("id"), id},
                       {QLatin1String("create_time"), time},
                       {QLatin1String("update_time"), time},
                       {QLatin1String("creator"), creator},
                       {QLatin1String("name"), name},
                       {QLatin1String("members"), members.join(QLatin1Char(','))}};
}

QJsonObject MessagePayloads::groupEdit(const QString &id, const QString &name,
                                       const QStringList &members, const QStringList &added,
                                       const QStringList &removed)
{
    return QJsonObject{{QLatin1String("id"), id},
                       {QLatin1String("name"), name},
                       {QLatin1String("members"), members.join(QLatin1Char(','))},
                       {QLatin1String("addArray"), idArray(added)},
                       {QLatin1String("deleteArray"), idArray(removed)}};
}

QJsonObject MessagePayloads::groupDelete(const GroupEntry &group)
{
    QJsonObject payload = MessageJson::groupObject(group);
    payload.insert(QLatin1String("group_member"), group.members.join(QLatin1Char(',')));
    return payload;
}
