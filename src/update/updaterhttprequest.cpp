#include "updaterhttprequest.h"

#include "language/text.h"
#include "logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QtConcurrent>

#include <algorithm>

UpdaterHttpRequest::UpdaterHttpRequest(QObject *parent) : HttpRequest(parent)
{
    connect(&m_watcher, &QFutureWatcher<PackageUnpacker::Result>::finished, this,
            &UpdaterHttpRequest::onInstalled);
}

UpdaterHttpRequest::~UpdaterHttpRequest()
{
    // Files half moved into place must not be left behind by a closing window.
    m_watcher.disconnect(this);
    m_watcher.waitForFinished();
}

int UpdaterHttpRequest::updaterProgress(qint64 received, qint64 total)
{
    if (total <= 0)
        return 0;
    const qint64 percent = std::clamp<qint64>(received * 100 / total, 0, 100);
    return int(std::max<qint64>(percent - 5, 0));
}

int UpdaterHttpRequest::progressFor(qint64 received, qint64 total) const
{
    return updaterProgress(received, total);
}

QString UpdaterHttpRequest::installationDirectory() const
{
    if (!m_installation.isEmpty())
        return m_installation;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../");
}

void UpdaterHttpRequest::packageFileUnavailable()
{
    QCoreApplication::exit(0);
}

void UpdaterHttpRequest::finishPackage(const QString &path)
{
    if (m_watcher.isRunning() || !QFile::exists(path))
        return;
    const QString target = installationDirectory();
    qCInfo(lcUpdate) << "installing" << path << "into" << target;
    // A package of many megabytes takes a while; the window keeps drawing meanwhile.
    m_watcher.setFuture(QtConcurrent::run([path, target] {
        return PackageUnpacker::install(path, target, PackageUnpacker::HostileEntries::Refuse);
    }));
}

void UpdaterHttpRequest::onInstalled()
{
    const PackageUnpacker::Result result = m_watcher.result();
    if (!result.ok) {
        qCWarning(lcUpdate).noquote() << "package not installed:" << result.error;
        reportFailure(tarnex::text(QStringLiteral("fail_install_package"),
                                   QStringLiteral("更新包无法安装，客户端未作任何更改")));
        return;
    }
    qCInfo(lcUpdate) << "installed" << result.written.size() << "files";
    emit sigDownloadProgress(100);
}
