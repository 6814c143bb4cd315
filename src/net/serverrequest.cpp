#include "serverrequest.h"

#include "config/configfile.h"
#include "net/requestwait.h"
#include "net/sessiontoken.h"

#include <QNetworkReply>
#include <QSslConfiguration>
#include <QUrl>

QString ServerRequest::baseUrl(const QString &address)
{
    return ConfigFile::normaliseAddress(address) + QStringLiteral("/tarnex10") +
           QStringLiteral("/server/public/");
}

QString ServerRequest::currentAddress()
{
    return ConfigFile::normaliseAddress(
        ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp")));
}

QString ServerRequest::currentBaseUrl()
{
    return baseUrl(currentAddress());
}

QNetworkRequest ServerRequest::make(const QString &url, Body body, bool authorised)
{
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("User-Agent", userAgent());
    switch (body) {
    case Body::None:
        break;
    case Body::Form:
        request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
        break;
    case Body::Json:
        request.setRawHeader("Content-Type", "application/json");
        break;
    case Body::JsonUtf8:
        request.setRawHeader("Content-Type", "application/json;charset=UTF-8");
        break;
    }
    if (authorised)
        request.setRawHeader("Authorization", "Bearer " + SessionToken::get().toUtf8());
    applyTls(request);
    return request;
}

void ServerRequest::applyTls(QNetworkRequest &request)
{
    // OA servers often run self-signed certificates, so the peer is not verified; the protocol
    // stays at Qt's secure default because TLS 1.0 fails against current servers.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    tls.setProtocol(QSsl::SecureProtocols);
    request.setSslConfiguration(tls);
}

QByteArray ServerRequest::formBody(const QVector<QPair<QString, QString>> &fields)
{
    QByteArray body;
    for (const auto &field : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(field.first) + '=' + QUrl::toPercentEncoding(field.second);
    }
    return body;
}

bool ServerRequest::waitFor(QNetworkReply *reply, int limitMs)
{
    if (!reply)
        return false;
    if (!RequestWait::forReply(reply, limitMs)) {
        reply->abort();
        return false;
    }
    return true;
}
