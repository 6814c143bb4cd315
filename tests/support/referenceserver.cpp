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

QString ReferenceServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_peer.port());
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
