#pragma once

#include "referenceserver.h"

#include "net/replyenvelope.h"
#include "net/serverrequest.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedPointer>

// A real password login against the reference server; the whole reply body (empty on failure).
inline QByteArray loginBody(const ReferenceServer &server, const QString &account,
                            const QString &password = QStringLiteral("123456"))
{
    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(
        manager.post(ServerRequest::make(ServerRequest::baseUrl(server.address()) +
                                         QStringLiteral("api/auth/login")),
                     ServerRequest::formBody({{QStringLiteral("user_account"), account},
                                              {QStringLiteral("password"), password}})));
    if (!ServerRequest::waitFor(reply.data()))
        return QByteArray();
    return reply->readAll();
}

inline QString loginToken(const QByteArray &body)
{
    return ReplyEnvelope::fromBody(body).dataObject().value(QLatin1String("token")).toString();
}
