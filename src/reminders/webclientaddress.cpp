#include "webclientaddress.h"

#include "config/configfile.h"
#include "logging.h"
#include "session/parameterinfor.h"

#include <QUrl>

QString WebClientAddress::defaultClientPath()
{
    return QStringLiteral("/tarnex10") + QStringLiteral("/client/app/web/login.html#");
}

QString WebClientAddress::build(const QString &between)
{
    ConfigFile *settings = ConfigFile::instance();
    const QString server = settings->getMainConfig(QStringLiteral("currentServerIp"));
    QString clientPath = settings->webSystemIp();
    // The token goes only to the server's own origin: a path that is not one ("@host/…",
    // "//host/…", ".other.example/…") would hand it to whichever host it names.
    const QUrl own(server);
    const QUrl composed(server + clientPath, QUrl::TolerantMode);
    if (clientPath.isEmpty() || !clientPath.startsWith(QLatin1Char('/')) ||
        clientPath.startsWith(QLatin1String("//")) || composed.host() != own.host() ||
        composed.port() != own.port() || composed.scheme() != own.scheme() ||
        !composed.userInfo().isEmpty())
        clientPath = defaultClientPath();
    return server + clientPath + QStringLiteral("token=") + ParameterInfor::instance()->token() +
           between + QStringLiteral("&platform=client");
}

bool WebClientAddress::open(const QString &address, QString *jumpText)
{
    const QUrl url(address, QUrl::TolerantMode);
    // The address carries the token (in its query or fragment): the path says enough.
    qCDebug(lcReminders) << "opening"
                         << url.toString(QUrl::RemoveQuery | QUrl::RemoveFragment |
                                         QUrl::RemoveUserInfo);
    *jumpText = url.toString();
    return ConfigFile::instance()->getMainConfig(QStringLiteral("systemBrowser")) ==
           QLatin1String("true");
}
