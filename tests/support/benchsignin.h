#pragma once

// A password sign-in against the reference server for the benchmarks: the server becomes the
// current one and its token the login parameters' own.
#include "referenceserver.h"

#include "config/configfile.h"
#include "net/replyenvelope.h"
#include "net/serverrequest.h"
#include "session/parameterinfor.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedPointer>

inline bool benchSignIn(const ReferenceServer &server,
                        const QString &account = QStringLiteral("zhangwei"))
{
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());
    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(manager.post(
        ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/auth/login")),
        ServerRequest::formBody({{QStringLiteral("user_account"), account},
                                 {QStringLiteral("password"), QStringLiteral("123456")}})));
    if (!ServerRequest::waitFor(reply.data(), 20000))
        return false;
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply.data());
    ParameterInfor::instance()->setToken(
        envelope.dataObject().value(QLatin1String("token")).toString());
    return envelope.success();
}
