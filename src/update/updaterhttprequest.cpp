#include "updaterhttprequest.h"

#include "language/text.h"
#include "logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QtConcurrent>

#include <algorithm>

namespace {
PackageVerifier::Expected &expectedPackage()
{
    static PackageVerifier::Expected expected;
    return expected;
}

// What a refused package reports: a result that the installation turns into its text.
PackageUnpacker::Result refused(const QString &why)
{
    PackageUnpacker::Result result;
    result.error = QStringLiteral("refused: ") + why;
    return result;
}
} // namespace

void UpdaterHttpRequest::setExpectedPackage(const PackageVerifier::Expected &expected)
{
    expectedPackage() = expected;
}

UpdaterHttpRequest::UpdaterHttpRequest(QObject *parent)
    : HttpRequest(parent)
    , m_expected(expectedPackage())
    , m_publicKey(PackageVerifier::releasePublicKey())
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
    // A package of many megabytes takes a while; the window keeps drawing meanwhile. Nothing of
    // it is unpacked before it is known to be the package the feed describes.
    m_watcher.setFuture(QtConcurrent::run([path, target, expected = m_expected, key = m_publicKey] {
        const QString why = PackageVerifier::check(path, expected, key);
        if (!why.isEmpty())
            return refused(why);
        return PackageUnpacker::install(path, target, PackageUnpacker::HostileEntries::Refuse);
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
