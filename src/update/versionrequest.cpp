#include "versionrequest.h"

#include "language/text.h"
#include "logging.h"
#include "platform/installationaccess.h"
#include "update/httprequest.h"
#include "update/packageverifier.h"
#include "update/updatefeed.h"
#include "update/updaterhandover.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>

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
        // A feed that did not answer may answer the next time the dialog asks.
        m_requested = false;
        emit sigUpdateDataInfor(QString(), QString(), QString(), QString(), QString());
        return;
    }
    emit sigUpdateDataInfor(feed.version, feed.url, feed.name, feed.description, feed.text);
}

bool VersionRequest::openUpdateProgrom(const QString &updateInfors, const QString &crrentVersion)
{
    if (updateInfors.isEmpty())
        return false;
    // The system's package manager or the administrator updates such an installation.
    if (!installationWritable()) {
        qCInfo(lcUpdate) << "the installation is not writable; the updater is not started";
        return false;
    }
    // Without a started updater the client stays: ending it would leave the user with nothing.
    if (!UpdaterHandover::start(updateInfors, crrentVersion, true))
        return false;
    QCoreApplication::exit(0);
    return true;
}

QString VersionRequest::updateSourceNote()
{
    QStringList lines;
    if (!installationWritable())
        lines << tarnex::text(QStringLiteral("update_from_system"),
                              QStringLiteral("此安装由系统的软件包管理器或管理员维护，"
                                             "更新请通过它们获取"));
    if (PackageVerifier::unsignedUpdatesAllowed())
        lines << tarnex::text(QStringLiteral("update_unsigned_build"),
                              QStringLiteral("开发版本：会安装未经签名的更新"));
    return lines.join(QLatin1Char('\n'));
}
