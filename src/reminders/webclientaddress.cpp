#include "webclientaddress.h"

#include "config/configfile.h"
#include "logging.h"
#include "session/parameterinfor.h"

#include <QDesktopServices>
#include <QUrl>

QString WebClientAddress::defaultClientPath()
{
    return QStringLiteral("/tarnex10") + QStringLiteral("/client/app/web/login.html#");
}

QString WebClientAddress::build(const QString &between)
{
    ConfigFile *settings = ConfigFile::instance();
    QString clientPath = settings->webSystemIp();
    if (clientPath.isEmpty())
        clientPath = defaultClientPath();
    return settings->getMainConfig(QStringLiteral("currentServerIp")) + clientPath +
           QStringLiteral("token=") + ParameterInfor::instance()->token() + between +
           QStringLiteral("&platform=client");
}

bool WebClientAddress::open(const QString &address, QString *jumpText)
{
    const QUrl url(address, QUrl::TolerantMode);
    // The address carries the token (in its query or fragment): the path says enough.
    qCDebug(lcReminders) << "opening"
                         << url.toString(QUrl::RemoveQuery | QUrl::RemoveFragment |
                                         QUrl::RemoveUserInfo);
    if (ConfigFile::instance()->getMainConfig(QStringLiteral("systemBrowser")) ==
        QLatin1String("true")) {
        // A browser that fails to start leaves nothing for the user to retry here.
        if (!QDesktopServices::openUrl(url))
            qCDebug(lcReminders) << "the default browser did not take"
                                 << url.toString(QUrl::RemoveQuery | QUrl::RemoveFragment |
                                                 QUrl::RemoveUserInfo);
        return true;
    }
    *jumpText = url.toString();
    return false;
}
