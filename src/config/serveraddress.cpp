#include "serveraddress.h"

namespace ServerAddress {

QString plain(const QString &address)
{
    QString text = address.trimmed();
    if (text.startsWith(QLatin1String("http://")))
        text = text.mid(7);
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text;
}

bool isSet(const QString &address)
{
    return !address.isEmpty() && address != QLatin1String("http://") &&
           address != QLatin1String("https://");
}

QString avatarUrl(const QString &path, const QString &server)
{
    if (path.isEmpty())
        return QStringLiteral("qrc:/images/defaulticon.png");
    for (const char *scheme : {"http://", "https://", "file:", "qrc:"}) {
        if (path.startsWith(QLatin1String(scheme)))
            return path;
    }
    QString base = server;
    if (!base.startsWith(QLatin1String("http://")) && !base.startsWith(QLatin1String("https://")))
        base.prepend(QStringLiteral("http://"));
    if (path.startsWith(QLatin1String("api/portal/tx/avatar/")))
        return base + QLatin1Char('/') + path;
    const QString publicDir = base + QStringLiteral("/tarnex10/server/public/");
    if (path.startsWith(QLatin1String("avatar/")))
        return publicDir + path;
    return publicDir + QStringLiteral("avatar/") + path;
}

} // namespace ServerAddress
