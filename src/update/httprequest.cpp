#include "httprequest.h"

#include "config/configfile.h"
#include "language/text.h"
#include "logging.h"
#include "net/serverrequest.h"
#include "net/urlsegment.h"
#include "update/updatefeed.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>

HttpRequest::HttpRequest(QObject *parent) : QObject(parent), m_finishTimer(new QTimer(this))
{
    m_finishTimer->setSingleShot(true);
    m_finishTimer->setInterval(finishDelayMs);
    connect(m_finishTimer, &QTimer::timeout, this, &HttpRequest::onTimeout);
}

HttpRequest::~HttpRequest()
{
    m_finishTimer->disconnect();
    if (m_reply)
        m_reply->disconnect(this);
    if (m_file)
        m_file->cancelWriting();
}

QNetworkRequest HttpRequest::feedRequest(const QString &url)
{
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("User-Agent", ServerRequest::userAgent());
    request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
    // Packages are often served from elsewhere than the feed; follow redirects that stay safe.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(stallLimitMs);
    return request;
}

void HttpRequest::requestVersion()
{
    QNetworkAccessManager *manager = m_feedSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &HttpRequest::onRequestVersion);
    manager->get(feedRequest(UpdateFeed::feedUrl()));
}

void HttpRequest::onRequestVersion(QNetworkReply *reply)
{
    reply->deleteLater();
    const QByteArray body = reply->readAll();
    qCDebug(lcUpdate) << "update feed:" << body.size() << "bytes";
    // One reading of the feed document for the whole program.
    const UpdateFeed feed = UpdateFeed::parse(body);
    emit sigRequestVersion(feed.valid ? feed.description : QString());
}

QString HttpRequest::packageFileName(const QString &names)
{
    return UrlSegment::plainFileName(names);
}

void HttpRequest::downloadFile(const QString &url, const QString &names)
{
    abandonDownload();
    m_packageName = names;

    const QString fileName = packageFileName(names);
    const QString folder = ConfigFile::instance()->updateFolderPath();
    QDir().mkpath(folder);
    m_packagePath = fileName.isEmpty() ? QString() : folder + fileName;
    m_file = std::make_unique<QSaveFile>(m_packagePath);
    if (fileName.isEmpty() || !m_file->open(QIODevice::WriteOnly)) {
        qCWarning(lcUpdate) << "cannot create the package file for" << names;
        m_file.reset();
        packageFileUnavailable();
        return;
    }

    QNetworkAccessManager *manager = m_downloadSlot.renew();
    m_reply = manager->get(feedRequest(url));
    connect(m_reply, &QNetworkReply::downloadProgress, this, &HttpRequest::onDownloadProgress);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpRequest::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &HttpRequest::onDownloadFinished);
}

void HttpRequest::abandonDownload()
{
    m_finishTimer->stop();
    // The earlier reply goes with its manager; it must not report into the new download.
    if (m_reply)
        m_reply->disconnect(this);
    m_reply = nullptr;
    if (m_file)
        m_file->cancelWriting();
    m_file.reset();
    m_written = 0;
    m_replyComplete = false;
    m_timerFired = false;
}

void HttpRequest::onReadyRead()
{
    if (!m_file || !m_reply)
        return;
    const QByteArray chunk = m_reply->readAll();
    if (chunk.isEmpty())
        return;
    if (m_file->write(chunk) != chunk.size()) {
        failDownload(QStringLiteral("cannot write the package file: ") + m_file->errorString());
        return;
    }
    m_written += chunk.size();
}

int HttpRequest::clientProgress(qint64 received, qint64 total)
{
    if (total > 0) {
        const int percent = int(std::clamp<qint64>(received * 100 / total, 0, 100));
        return received >= total ? percent - 5 : percent;
    }
    if (received <= 0)
        return 0;
    const qint64 assumed = received * 100 / assumedPackageBytes;
    return assumed <= 95 ? int(assumed) : -1;
}

int HttpRequest::progressFor(qint64 received, qint64 total) const
{
    return clientProgress(received, total);
}

void HttpRequest::onDownloadProgress(qlonglong bytesSent, qlonglong bytesTotal)
{
    if (!m_reply || sender() != m_reply)
        return;
    const int progress = progressFor(bytesSent, bytesTotal);
    if (progress >= 0)
        emit sigDownloadProgress(progress);
    // The network layer's last report of a body of unknown length carries the count as total.
    if (bytesTotal > 0 && bytesSent >= bytesTotal && !m_finishTimer->isActive() && !m_timerFired)
        m_finishTimer->start();
}

void HttpRequest::onDownloadFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply || sender() != reply)
        return;
    onReadyRead();
    if (!m_file)
        return; // a write failure has already ended this download
    if (reply->error() != QNetworkReply::NoError) {
        failDownload(reply->errorString());
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && (status < 200 || status > 299)) {
        failDownload(QStringLiteral("HTTP status %1").arg(status));
        return;
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != m_written) {
        failDownload(
            QStringLiteral("received %1 of %2 bytes").arg(m_written).arg(length.toLongLong()));
        return;
    }
    if (m_written == 0) {
        failDownload(QStringLiteral("the package is empty"));
        return;
    }
    m_replyComplete = true;
    if (m_timerFired)
        completeDownload();
    else if (!m_finishTimer->isActive())
        m_finishTimer->start(); // no report reached the total; finish after the same pause
}

void HttpRequest::onTimeout()
{
    m_finishTimer->stop();
    m_timerFired = true;
    // A package counts only once its reply has ended complete; until then the reply's end
    // decides (its finished signal usually comes right after the last progress report).
    if (m_replyComplete)
        completeDownload();
}

void HttpRequest::completeDownload()
{
    m_reply = nullptr;
    if (!m_file)
        return;
    if (!m_file->commit()) {
        const QString error = m_file->errorString();
        m_file.reset();
        failDownload(QStringLiteral("cannot put the package in place: ") + error);
        return;
    }
    m_file.reset();
    qCDebug(lcUpdate) << "package downloaded:" << m_packagePath << m_written << "bytes";
    finishPackage(m_packagePath);
}

void HttpRequest::finishPackage(const QString &path)
{
    Q_UNUSED(path)
    emit sigDownloadProgress(100);
}

void HttpRequest::failDownload(const QString &reason)
{
    qCWarning(lcUpdate).noquote() << "package download failed:" << reason;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    // The partial package goes with its temporary file; the name never held it.
    abandonDownload();
    reportFailure(tarnex::text(QStringLiteral("fail_download_package"),
                               QStringLiteral("更新包下载失败，客户端未作任何更改")));
}

void HttpRequest::reportFailure(const QString &errors)
{
    emit sigDownloadFailed(errors);
}

void HttpRequest::packageFileUnavailable()
{
    // Ending here would close the user's client over a folder it cannot write.
    reportFailure(tarnex::text(QStringLiteral("fail_download_package"),
                               QStringLiteral("更新包下载失败，客户端未作任何更改")));
}
