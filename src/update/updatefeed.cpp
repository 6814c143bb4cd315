#include "updatefeed.h"

#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "update/packageverifier.h"
#include "json/peerjson.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringList>

#ifndef TARNEX_UPDATE_FEED_URL
#define TARNEX_UPDATE_FEED_URL "https://update.tarnex.example/tarnex10pack/client/client.php"
#endif

UpdateFeed UpdateFeed::parse(const QByteArray &body)
{
    UpdateFeed feed;
    QString text = QString::fromUtf8(body);
    text.remove(QLatin1Char('\n'));
    text.remove(QLatin1Char('\t'));
    text.remove(QLatin1Char(' '));
    QJsonValue document;
    if (!PeerJson::parse(text.toUtf8(), &document) || !(document.isObject() || document.isArray()))
        return feed;
    feed.valid = true;
    feed.text = text;
    const QJsonObject object = document.toObject();
    feed.version = object.value(QLatin1String("version")).toString();
    const QJsonArray lines = object.value(QLatin1String("description")).toArray();
    for (const QJsonValue &line : lines)
        feed.description += line.toString() + QLatin1Char('\n');
    feed.url = object.value(QLatin1String("url")).toString();
    feed.name = object.value(QLatin1String("name")).toString();
    // Base64 keeps the signed bytes through the stripping above.
    feed.manifest =
        QByteArray::fromBase64(object.value(QLatin1String("manifest")).toString().toLatin1(),
                               QByteArray::AbortOnBase64DecodingErrors);
    feed.signature =
        QByteArray::fromBase64(object.value(QLatin1String("signature")).toString().toLatin1(),
                               QByteArray::AbortOnBase64DecodingErrors);
    return feed;
}

std::optional<int> UpdateFeed::compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.split(QLatin1Char('.'));
    const QStringList right = b.split(QLatin1Char('.'));
    // Digits only: toULongLong alone would take "+1" or " 1"; too many digits fail too.
    const auto number = [](const QString &part, bool &ok) {
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return 0ULL;
        }
        return part.toULongLong(&ok);
    };
    std::optional<int> order = 0;
    for (int i = 0; i < qMax(left.size(), right.size()); ++i) {
        bool leftOk = i >= left.size();
        bool rightOk = i >= right.size();
        const qulonglong x = leftOk ? 0 : number(left.at(i), leftOk);
        const qulonglong y = rightOk ? 0 : number(right.at(i), rightOk);
        if (!leftOk || !rightOk)
            return std::nullopt;
        if (*order == 0 && x != y)
            order = x > y ? 1 : -1;
    }
    return order;
}

bool UpdateFeed::isNewerThan(const QString &current) const
{
    const std::optional<int> order = compareVersions(version, current);
    return order && *order > 0;
}

ReleaseCheck UpdateFeed::releaseCheck(const QString &runningVersion) const
{
    return ReleaseCheck::of(manifest, signature, version, name, runningVersion,
                            PackageVerifier::releasePublicKeys(),
                            PackageVerifier::unsignedUpdatesAllowed());
}

QString UpdateFeed::feedUrl()
{
    const QByteArray overridden = qgetenv("TARNEX_UPDATE_FEED");
    if (!overridden.isEmpty())
        return QString::fromUtf8(overridden);
    return QStringLiteral(TARNEX_UPDATE_FEED_URL "?platform=") + ReleaseManifest::thisPlatform();
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
