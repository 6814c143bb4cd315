#include "versionrequest.h"

#include "logging.h"
#include "platform/runningclient.h"
#include "update/httprequest.h"
#include "update/updatefeed.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>

void VersionRequest::getVersionInfor()
{
    if (m_requested)
        return;
    m_requested = true;
    QNetworkAccessManager *manager = m_slot.renew();
    connect(manager, &QNetworkAccessManager::finished, this,
            &VersionRequest::onVersionInforFinished);
    // The same request as the start-up check; its stall limit ends a silent feed.
    manager->get(HttpRequest::feedRequest(UpdateFeed::feedUrl()));
}

void VersionRequest::onVersionInforFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    const UpdateFeed feed = UpdateFeed::parse(reply->readAll());
    if (!feed.valid) {
        emit sigUpdateDataInfor(QString(), QString(), QString(), QString(), QString());
        return;
    }
    emit sigUpdateDataInfor(feed.version, feed.url, feed.name, feed.description, feed.text);
}

bool VersionRequest::openUpdateProgrom(const QString &updateInfors, const QString &crrentVersion)
{
    if (updateInfors.isEmpty())
        return false;
    const QString installation = QCoreApplication::applicationDirPath();
    const bool started = QProcess::startDetached(
        RunningClient::updaterProgramIn(installation),
        {updateInfors, crrentVersion, QStringLiteral("app-update")}, installation);
    // Without an updater nothing would install the package: the client stays, and the
    // dialog says so.
    if (!started) {
        qCWarning(lcUpdate) << "cannot start the updater in" << installation;
        return false;
    }
    QCoreApplication::exit(0);
    return true;
}
