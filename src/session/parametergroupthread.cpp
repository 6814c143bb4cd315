#include "parametergroupthread.h"

#include "net/replyenvelope.h"
#include "net/serverrequest.h"

#include <QJsonArray>
#include <QJsonDocument>

ParameterGroupThread::ParameterGroupThread(const QStringList &userIds)
    : UserFetchThread(
          ServerRequest::make(ServerRequest::currentBaseUrl() +
                                  QStringLiteral("api/user/usersgroup"),
                              ServerRequest::Body::Json, true),
          QJsonDocument(QJsonArray::fromStringList(userIds)).toJson(QJsonDocument::Indented))
{}

QList<MemberRecord *> ParameterGroupThread::readReply(const ReplyEnvelope &envelope) const
{
    QList<MemberRecord *> records;
    const QJsonArray users = envelope.data().toArray();
    for (const QJsonValue &user : users) {
        if (user.isObject())
            records.append(buildRecord(user.toObject()));
    }
    return records;
}
