#include "updatefeed.h"

#include "net/requestwait.h"
#include "net/serverrequest.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#ifndef TARNEX_UPDATE_FEED_URL
#define TARNEX_UPDATE_FEED_URL                                                                     \
    "http://update.tarnex.example/tarnex10pack/client/client.php?platform=win"
#endif

UpdateFeed UpdateFeed::parse(const QByteArray &body)
{
    UpdateFeed feed;
    QString text = QString::fromUtf8(body);
    text.remove(QLatin1Char('\n'));
    text.remove(QLatin1Char('\t'));
    text.remove(QLatin1Char(' '));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return feed;
    feed.valid = true;
    feed.text = text;
    const QJsonObject object = document.object();
    feed.version = object.value(QLatin1String("version")).toString();
    const QJsonArray lines = object.value(QLatin1String("description")).toArray();
    for (const QJsonValue &line : lines)
        feed.description += line.toString() + QLatin1Char('\n');
    feed.url = object.value(QLatin1String("url")).toString();
    feed.name = object.value(QLatin1String("name")).toString();
    feed.sha256 = object.value(QLatin1String("sha256")).toString();
    feed.signature = object.value(QLatin1String("signature")).toString();
    return feed;
}

qlonglong UpdateFeed::versionNumber(const QString &version)
{
    QString digits = version;
    digits.remove(QLatin1Char('.'));
    bool ok = false;
    const qlonglong number = digits.toLongLong(&ok);
    return ok ? number : 0;
}

bool UpdateFeed::isNewerThan(const QString &current) const
{
    return !version.isEmpty() && versionNumber(version) > versionNumber(current);
}

QString UpdateFeed::feedUrl()
{
    const QByteArray overridden = qgetenv("TARNEX_UPDATE_FEED");
    if (!overridden.isEmpty())
        return QString::fromUtf8(overridden);
    return QStringLiteral(TARNEX_UPDATE_FEED_URL);
}

UpdateFeed UpdateFeed::fetch(QNetworkAccessManager &manager, int limitMs)
{
    QNetworkRequest request{QUrl(feedUrl())};
    request.setRawHeader("User-Agent", ServerRequest::userAgent());
    request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
    QNetworkReply *reply = manager.get(request);
    RequestWait::forReply(reply, limitMs, QEventLoop::AllEvents);
    // Whatever has arrived by now is all the start-up check reads.
    const QByteArray body = reply->readAll();
    reply->abort();
    reply->deleteLater();
    return parse(body);
}
