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
#include <QRegularExpression>

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

QString HttpRequest::downloadName(const QString &name, const QString &url) const
{
    QString text = (name.isEmpty() ? url : name).section(QLatin1Char('?'), 0, 0);
    text = text.section(QLatin1Char('/'), -1);
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._-]+$"));
    if (text == QLatin1String(".") || text == QLatin1String("..") || !plain.match(text).hasMatch())
        return QString();
    return text;
}

void HttpRequest::downloadFile(const QString &url, const QString &names)
{
    abandonDownload();
    m_packageName = names;

    const QString fileName = packageFileName(names);
    // A release that must not be installed is not fetched either.
    const QString refusal = fileName.isEmpty() ? QString() : refusalBeforeDownload();
    if (!refusal.isEmpty()) {
        reportFailure(refusal);
        return;
    }
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

    m_url = url;
    m_clock.start();
    startReply();
}

void HttpRequest::startReply()
{
    QNetworkRequest request = feedRequest(m_url);
    m_replyStart = m_written;
    if (m_written > 0)
        request.setRawHeader("Range", "bytes=" + QByteArray::number(m_written) + '-');
    m_replyComplete = false;
    m_timerFired = false;
    m_finishTimer->stop();
    QNetworkAccessManager *manager = m_downloadSlot.renew();
    m_reply = manager->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpRequest::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &HttpRequest::onDownloadProgress);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpRequest::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &HttpRequest::onDownloadFinished);
}

// A resumed reply goes on where the package file ends, or, from a server that ignores ranges,
// starts it again.
void HttpRequest::onMetaDataChanged()
{
    if (!m_reply || sender() != m_reply || m_replyStart == 0 || !m_file)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 200) {
        qCInfo(lcUpdate) << "the server ignores ranges; the package starts again";
        m_file->seek(0);
        m_file->resize(0);
        m_written = 0;
        m_replyStart = 0;
        return;
    }
    const QByteArray range = m_reply->rawHeader("Content-Range");
    if (status == 206 && !range.startsWith("bytes " + QByteArray::number(m_replyStart) + '-'))
        failDownload(
            QStringLiteral("the server resumed at \"%1\"").arg(QString::fromLatin1(range)));
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
    m_replyStart = 0;
    m_resumes = 0;
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
    const qint64 limit = packageSizeLimit();
    if (limit >= 0 && m_written + chunk.size() > limit) {
        failDownload(
            QStringLiteral("the package passes the %1 bytes it may have").arg(limit),
            tarnex::text(QStringLiteral("fail_verify_package"),
                         QStringLiteral("更新包未通过校验，可能已被篡改，客户端未作任何更改")));
        return;
    }
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
    const qint64 received = m_replyStart + bytesSent;
    const qint64 limit = packageSizeLimit();
    const qint64 total = limit > 0 ? limit : bytesTotal > 0 ? m_replyStart + bytesTotal : -1;
    const int progress = progressFor(received, total);
    if (progress >= 0)
        emit sigDownloadProgress(progress);
    const qint64 elapsed = std::max<qint64>(m_clock.elapsed(), 1);
    emit sigDownloadBytes(received, total, received * 1000 / elapsed);
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
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 received = m_written - m_replyStart;
    const bool cutOff = reply->error() != QNetworkReply::NoError ||
                        (length.isValid() && length.toLongLong() != received);
    // A reply cut off after bringing bytes goes on from where it ended.
    if (cutOff && (status == 0 || status == 200 || status == 206) && received > 0 &&
        m_resumes < resumeLimit) {
        ++m_resumes;
        qCInfo(lcUpdate) << "package download cut off at" << m_written << "bytes; resuming";
        reply->disconnect(this);
        reply->abort();
        startReply();
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        failDownload(reply->errorString());
        return;
    }
    if (status != 0 && (status < 200 || status > 299)) {
        failDownload(QStringLiteral("HTTP status %1").arg(status));
        return;
    }
    if (length.isValid() && length.toLongLong() != received) {
        failDownload(
            QStringLiteral("received %1 of %2 bytes").arg(received).arg(length.toLongLong()));
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
    // Flushed first: on a full disk the commit alone can report a write that failed in its
    // buffer as done, and put a short package in place.
    if (!m_file->flush() || !m_file->commit()) {
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

void HttpRequest::failDownload(const QString &reason, const QString &userText)
{
    qCWarning(lcUpdate).noquote() << "package download failed:" << reason;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    // The partial package goes with its temporary file; the name never held it.
    abandonDownload();
    reportFailure(!userText.isEmpty()
                      ? userText
                      : tarnex::text(QStringLiteral("fail_download_package"),
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
