#include "messagingaddress.h"

#include <QStringList>

QString MessagingAddress::build(const QString &serverIp, const QString &imHost,
                                const QString &imPort, const QString &imPortHttps)
{
    // Case-sensitive on purpose: the address is stored as the settings wrote it.
    const bool secure = serverIp.contains(QLatin1String("https:/"));
    QString bare = serverIp;
    bare.remove(QLatin1String("https://"));
    bare.remove(QLatin1String("http://"));
    const QStringList pieces = bare.split(QLatin1Char(':'));

    QString host;
    if (!imHost.isEmpty()) {
        host = imHost;
        host.remove(QLatin1String("http://"));
    } else {
        host = pieces.isEmpty() ? serverIp : pieces.first();
    }
    QString port = imPort.isEmpty() ? QStringLiteral("80") : imPort;
    if (secure)
        port = imPortHttps;
    // An https server's link is encrypted too: its messages never cross the network in clear,
    // and its https port speaks TLS.
    return (secure ? QStringLiteral("wss://") : QStringLiteral("ws://")) + host + QLatin1Char(':') +
           port;
}
