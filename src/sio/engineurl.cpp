#include "engineurl.h"

#include "siolog.h"

namespace sio {

namespace {

QString webSocketScheme(const QUrl &base)
{
    const QString scheme = base.scheme().toLower();
    if (scheme == QLatin1String("ws") || scheme == QLatin1String("http"))
        return QStringLiteral("ws");
    if (scheme == QLatin1String("wss") || scheme == QLatin1String("https"))
        return QStringLiteral("wss");
    return QString();
}

QString encoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

bool EngineUrl::isReserved(const QString &key)
{
    return key == QLatin1String("EIO") || key == QLatin1String("transport") ||
           key == QLatin1String("sid") || key == QLatin1String("t") ||
           key == QLatin1String("b64") || key == QLatin1String("j");
}

QUrl EngineUrl::build(const QUrl &base, int engineVersion, const QMap<QString, QString> &query)
{
    const QString scheme = webSocketScheme(base);
    if (scheme.isEmpty() || base.host().isEmpty())
        return QUrl();
    QUrl url;
    url.setScheme(scheme);
    url.setHost(base.host());
    url.setPort(base.port());
    QString path = base.path();
    if (path.isEmpty() || path == QLatin1String("/"))
        path = QStringLiteral("/socket.io/");
    else if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path);

    QString text = QStringLiteral("EIO=%1&transport=websocket").arg(engineVersion);
    for (auto it = query.cbegin(); it != query.cend(); ++it) {
        if (isReserved(it.key())) {
            qCWarning(lcSio) << "query key" << it.key() << "is reserved by the protocol; left out";
            continue;
        }
        text += QLatin1Char('&') + encoded(it.key()) + QLatin1Char('=') + encoded(it.value());
    }
    url.setQuery(text, QUrl::StrictMode);
    return url;
}

QString EngineUrl::serverKey(const QUrl &base)
{
    const QString scheme = webSocketScheme(base);
    const int defaultPort = scheme == QLatin1String("wss") ? 443 : 80;
    return QStringLiteral("%1://%2:%3")
        .arg(scheme, base.host().toLower())
        .arg(base.port(defaultPort));
}

} // namespace sio
