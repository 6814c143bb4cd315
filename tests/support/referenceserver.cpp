#include "referenceserver.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedPointer>
#include <QSignalSpy>

QString ReferenceServer::sourceDir()
{
    return QStringLiteral(TARNEX_SOURCE_DIR);
}

bool ReferenceServer::start(const QStringList &extraArgs, int port)
{
    return m_peer.start(sourceDir() + QStringLiteral("/server/server.js"),
                        QStringList{QStringLiteral("--test-hooks")} + extraArgs, port);
}

bool ReferenceServer::startTls(const QString &certificate, const QString &key,
                               const QStringList &extraArgs, int port)
{
    return start(
        QStringList{QStringLiteral("--tls-cert"), certificate, QStringLiteral("--tls-key"), key} +
            extraArgs,
        port);
}

QString ReferenceServer::address() const
{
    const QString address = QStringLiteral("127.0.0.1:%1").arg(m_peer.port());
    if (m_peer.baseUrl().scheme() == QLatin1String("https"))
        return QStringLiteral("https://") + address;
    return address;
}

bool ReferenceServer::roundTrip() const
{
    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(manager.get(QNetworkRequest(baseUrl())));
    QSignalSpy finished(reply.data(), &QNetworkReply::finished);
    if (!finished.wait(20000))
        return false;
    QCoreApplication::processEvents();
    return true;
}

QJsonObject ReferenceServer::hook(const QString &name, const QJsonObject &body) const
{
    return m_peer.post(QStringLiteral("/__hooks/") + name, body);
}
