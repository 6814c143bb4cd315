#pragma once

#include "update/httprequest.h"
#include "update/packageunpacker.h"
#include "update/releasemanifest.h"

#include <QFutureWatcher>

// The updater's HttpRequest: progress runs five points behind the bytes (0 while the size is
// unknown), and a complete package is installed over the client's files before 100 is sent.
// Only a release whose signed manifest passed its check is downloaded at all, never past the
// manifest's size, and the package must have the manifest's size and digest before anything of
// it is unpacked.
class UpdaterHttpRequest : public HttpRequest
{
    Q_OBJECT
public:
    explicit UpdaterHttpRequest(QObject *parent = nullptr);
    ~UpdaterHttpRequest() override;

    // The updater's progress for `received` of `total` bytes.
    static int updaterProgress(qint64 received, qint64 total);

    // The client's installation: the folder above the updater's own, unless set (tests).
    QString installationDirectory() const;
    void setInstallationDirectory(const QString &directory) { m_installation = directory; }

    // The check of the release the updater was started with; every object made afterwards
    // installs that release only (and nothing when it was refused).
    static void setRelease(const ReleaseCheck &release);
    void setReleaseCheck(const ReleaseCheck &release) { m_release = release; }

protected:
    int progressFor(qint64 received, qint64 total) const override;
    QString refusalBeforeDownload() const override;
    qint64 packageSizeLimit() const override;
    void finishPackage(const QString &path) override;
    // Without a file there is nothing to update; ending hands back to the client.
    void packageFileUnavailable() override;

private:
    void onInstalled();

    QString m_installation;
    ReleaseCheck m_release;
    QFutureWatcher<PackageUnpacker::Result> m_watcher;
};
