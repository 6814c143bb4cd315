#pragma once

#include "update/httprequest.h"
#include "update/packageunpacker.h"
#include "update/packageverifier.h"

#include <QFutureWatcher>

// The updater's HttpRequest: progress runs five points behind the bytes (0 while the size is
// unknown), and a complete package is installed over the client's files before 100 is sent,
// once it has passed the check against the feed's digest and signature.
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

    // What the feed the updater was started with says of the package; every object made
    // afterwards checks against it.
    static void setExpectedPackage(const PackageVerifier::Expected &expected);
    // The key signatures are checked with: the build's release key unless set (tests).
    void setPublicKey(const QByteArray &key) { m_publicKey = key; }

protected:
    int progressFor(qint64 received, qint64 total) const override;
    void finishPackage(const QString &path) override;
    // Without a file there is nothing to update; ending hands back to the client.
    void packageFileUnavailable() override;

private:
    void onInstalled();

    QString m_installation;
    PackageVerifier::Expected m_expected;
    QByteArray m_publicKey;
    QFutureWatcher<PackageUnpacker::Result> m_watcher;
};
