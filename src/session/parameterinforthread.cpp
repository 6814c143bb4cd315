#include "parameterinforthread.h"

#include "net/replyenvelope.h"
#include "net/serverrequest.h"

#include <QUrl>

namespace {

QNetworkRequest userRequest(const QString &userId)
{
    // Encoded as one path segment, so an id holding "/", "?" or "#" cannot reach another
    // endpoint.
    return ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/user/") +
                                   QString::fromLatin1(QUrl::toPercentEncoding(userId)),
                               ServerRequest::Body::Form, true);
}

} // namespace

ParameterInforThread::ParameterInforThread(const QString &userId)
    : UserFetchThread(userRequest(userId), QByteArray())
{}

QList<MemberRecord *> ParameterInforThread::readReply(const ReplyEnvelope &envelope) const
{
    const QJsonValue data = envelope.data();
    if (!data.isObject())
        return {};
    return {buildRecord(data.toObject())};
}
