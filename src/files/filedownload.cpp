#include "filedownload.h"

#include "files/safefilename.h"
#include "files/transferrequest.h"
#include "logging.h"
#include "net/serverrequest.h"
#include "net/urlsegment.h"
#include "platform/localpath.h"
#include "session/parameterinfor.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>

namespace {

// The most a download holds in memory before it reaches the file: the network reads no further
// ahead, so a fast server cannot fill the memory while the disk catches up.
constexpr qint64 kDownloadBuffer = 2 * 1024 * 1024;

// The destination with its name made safe. A name that had to change is not the one the caller
// found free, so it must not land on a file that is there already.
QString safeDestination(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const QString safe = SafeFileName::of(name);
    if (name.isEmpty() || safe == name)
        return path;
    const QString folder = info.path() + QLatin1Char('/');
    const int dot = safe.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? safe.left(dot) : safe;
    const QString extension = dot > 0 ? safe.mid(dot) : QString();
    QString candidate = folder + safe;
    for (int n = 1; QFileInfo::exists(candidate) && n < 1000; ++n)
        candidate = folder + stem + QStringLiteral(" (%1)").arg(n) + extension;
    return candidate;
}

} // namespace

FileDownload::FileDownload(QObject *parent) : QObject(parent) {}

FileDownload::~FileDownload()
{
    if (QNetworkAccessManager *manager = m_slot.current())
        manager->disconnect(this);
    if (m_reply)
        m_reply->disconnect(this);
    // A download cut short by the end of its owner is of no use to anyone.
    finishDestination(false);
}

void FileDownload::start(const QString &attachmentId, const QString &destPath)
{
    if (m_busy)
        return;
    m_destPath = destPath;
    m_busy = true;
    m_reporting = true;
    m_broken = false;
    if (m_reply)
        m_reply->disconnect(this);
    finishDestination(false);

    const QString localPath = LocalPath::fromUserPath(destPath);
    // A chosen file never climbs; a path put together from a name in a message may.
    const bool climbs = QString(localPath)
                            .replace(QLatin1Char('\\'), QLatin1Char('/'))
                            .split(QLatin1Char('/'))
                            .contains(QStringLiteral(".."));
    m_destFile = std::make_unique<QSaveFile>(safeDestination(localPath));
    if (climbs || !m_destFile->open(QIODevice::WriteOnly)) {
        qCWarning(lcFiles) << "cannot create the download destination" << m_destFile->fileName()
                           << (climbs ? QStringLiteral("(it climbs with \"..\")")
                                      : m_destFile->errorString());
        m_destFile.reset();
        m_busy = false;
        m_reporting = false;
        emit failed(TransferRequest::failOpenText());
        return;
    }

    QString id = attachmentId;
    id.remove(QLatin1Char('"'));
    // The id comes from a message: one encoded segment, so it cannot climb or add a query.
    const QString url = ServerRequest::currentBaseUrl() + QStringLiteral("api/attachment/index/") +
                        UrlSegment::encode(id) + QStringLiteral("?api_token=") +
                        ParameterInfor::instance()->token() + QStringLiteral("&operate=download");
    QNetworkAccessManager *manager = m_slot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &FileDownload::onFinished);
    m_reply = manager->get(TransferRequest::withStallLimit(ServerRequest::make(url)));
    m_reply->setReadBufferSize(kDownloadBuffer);
    // Progress signals come at most every 100 ms, so the bytes are taken as they arrive; with
    // the bounded buffer the network would otherwise wait for a signal that never comes.
    connect(m_reply, &QNetworkReply::readyRead, this, &FileDownload::writeArrived);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &FileDownload::onProgress);
}

void FileDownload::writeArrived()
{
    QNetworkReply *reply = m_reply;
    if (!reply || !m_destFile)
        return;
    const int status = TransferRequest::httpStatus(reply);
    if (status < 200 || status > 299) {
        // An error page is not the file; it is dropped and the download fails at its end.
        m_broken = true;
        reply->readAll();
        return;
    }
    if (!m_destFile->isOpen() || m_broken)
        return;
    const QByteArray data = reply->readAll();
    if (!data.isEmpty() && m_destFile->write(data) != data.size()) {
        qCWarning(lcFiles) << "cannot write the download" << m_destFile->fileName()
                           << m_destFile->errorString();
        m_broken = true;
        reply->abort();
    }
}

void FileDownload::onProgress(qlonglong bytesReceived, qlonglong bytesTotal)
{
    if (!m_reply || !m_destFile)
        return;
    writeArrived();
    if (!m_reporting || m_broken)
        return;
    if (bytesReceived == 0 && bytesTotal == 0)
        emit progress(1, 1); // an empty file shows as complete
    else
        emit progress(bytesReceived, bytesTotal);
}

void FileDownload::onFinished(QNetworkReply *reply)
{
    m_busy = false;
    m_reporting = false;
    if (!reply) {
        finishDestination(false);
        emit failed(TransferRequest::failUploadText());
        return;
    }
    reply->deleteLater();
    const int status = TransferRequest::httpStatus(reply);
    const bool failedReply =
        m_broken || reply->error() != QNetworkReply::NoError || status < 200 || status > 299;
    const QByteArray rest = reply->readAll();
    if (!failedReply && m_destFile && m_destFile->isOpen() && !rest.isEmpty() &&
        m_destFile->write(rest) != rest.size()) {
        m_broken = true;
    }
    if (failedReply || m_broken) {
        qCWarning(lcFiles) << "download failed:" << status << reply->errorString();
        finishDestination(false);
        emit failed(TransferRequest::failUploadText());
        return;
    }
    const QString finalPath = m_destFile ? m_destFile->fileName() : m_destPath;
    finishDestination(true);
    if (m_broken) {
        emit failed(TransferRequest::failUploadText());
        return;
    }
    qCDebug(lcFiles) << "downloaded" << finalPath;
    emit finished(finalPath);
}

// Puts a complete download in place of the destination, or drops the temporary file.
void FileDownload::finishDestination(bool keep)
{
    if (!m_destFile)
        return;
    // Flushed first: on a full disk the commit alone can report a write that failed in its
    // buffer as done, and put a short file in place.
    if (!keep || !m_destFile->flush() || !m_destFile->commit()) {
        if (keep) {
            qCWarning(lcFiles) << "cannot put the download in place" << m_destFile->fileName()
                               << m_destFile->errorString();
            m_broken = true;
        }
        m_destFile->cancelWriting();
    }
    m_destFile.reset();
}
