#include "updaterhttprequest.h"

#include "language/text.h"
#include "logging.h"
#include "update/packageverifier.h"

#include <QCoreApplication>
#include <QFile>
#include <QtConcurrent>

#include <algorithm>

namespace {
ReleaseCheck &startedRelease()
{
    static ReleaseCheck release;
    return release;
}

// What a refused package reports: a result that the installation turns into its text.
PackageUnpacker::Result refused(const QString &why)
{
    PackageUnpacker::Result result;
    result.error = QStringLiteral("refused: ") + why;
    return result;
}
} // namespace

void UpdaterHttpRequest::setRelease(const ReleaseCheck &release)
{
    startedRelease() = release;
}

UpdaterHttpRequest::UpdaterHttpRequest(QObject *parent)
    : HttpRequest(parent), m_release(startedRelease())
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

QString UpdaterHttpRequest::refusalBeforeDownload() const
{
    if (!m_release.installable())
        qCWarning(lcUpdate).noquote() << "release refused:" << m_release.reason();
    return m_release.refusalText();
}

qint64 UpdaterHttpRequest::packageSizeLimit() const
{
    return m_release.manifest.size;
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
    // A package of many megabytes takes a while; the window keeps drawing meanwhile. Nothing of
    // it is unpacked before it is known to be the package the manifest describes.
    m_watcher.setFuture(QtConcurrent::run([path, target, manifest = m_release.manifest] {
        const QString why = PackageVerifier::checkPackage(path, manifest.size, manifest.sha256);
        if (!why.isEmpty())
            return refused(why);
        return PackageUnpacker::install(path, target, PackageUnpacker::HostileEntries::Refuse,
                                        PackageUnpacker::Limits(), manifest.version);
    }));
}

void UpdaterHttpRequest::onInstalled()
{
    const PackageUnpacker::Result result = m_watcher.result();
    if (!result.ok && result.error.startsWith(QLatin1String("refused: "))) {
        qCWarning(lcUpdate).noquote() << "package not installed:" << result.error;
        reportFailure(
            tarnex::text(QStringLiteral("fail_verify_package"),
                         QStringLiteral("更新包未通过校验，可能已被篡改，客户端未作任何更改")));
        return;
    }
    if (!result.ok) {
        qCWarning(lcUpdate).noquote() << "package not installed:" << result.error;
        reportFailure(tarnex::text(QStringLiteral("fail_install_package"),
                                   QStringLiteral("更新包无法安装，客户端未作任何更改")));
        return;
    }
    qCInfo(lcUpdate) << "installed" << result.written.size() << "files";
    emit sigDownloadProgress(100);
}
