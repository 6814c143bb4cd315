#include "filedownload.h"

#include "files/diskwriter.h"
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
// The most that waits for the disk; with the buffer above, a download holds 8 MiB or so.
constexpr qint64 kWriteQueue = 4 * 1024 * 1024;

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
    dropDestination();
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
    dropDestination();

    const QString localPath = LocalPath::fromUserPath(destPath);
    // A chosen file never climbs; a path put together from a name in a message may.
    const bool climbs = QString(localPath)
                            .replace(QLatin1Char('\\'), QLatin1Char('/'))
                            .split(QLatin1Char('/'))
                            .contains(QStringLiteral(".."));
    auto file = std::make_unique<QSaveFile>(safeDestination(localPath));
    if (climbs || !file->open(QIODevice::WriteOnly)) {
        qCWarning(lcFiles) << "cannot create the download destination" << file->fileName()
                           << (climbs ? QStringLiteral("(it climbs with \"..\")")
                                      : file->errorString());
        m_busy = false;
        m_reporting = false;
        emit failed(TransferRequest::failOpenText());
        return;
    }
    // News from the writer of an earlier download is not about this one.
    const quint64 generation = ++m_generation;
    m_writer = std::make_unique<DiskWriter>(
        std::move(file), this, kWriteQueue,
        [this, generation] {
            if (generation == m_generation)
                writeArrived();
        },
        [this, generation] {
            if (generation == m_generation)
                writeFailed();
        });
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
    if (!reply || !m_writer)
        return;
    const int status = TransferRequest::httpStatus(reply);
    if (status < 200 || status > 299) {
        // An error page is not the file; it is dropped and the download fails at its end.
        m_broken = true;
        reply->readAll();
        return;
    }
    // While the disk is behind, the bytes wait in the reply and the network pauses; the writer
    // calls again once it has caught up.
    if (m_broken || m_writer->full())
        return;
    // Asked for exactly what is there, the reply hands over the block it holds rather than a
    // copy, as long as one block waits; readAll copies every byte once more.
    m_writer->write(reply->read(reply->bytesAvailable()));
}

void FileDownload::writeFailed()
{
    m_broken = true;
    if (m_reply)
        m_reply->abort();
}

void FileDownload::onProgress(qlonglong bytesReceived, qlonglong bytesTotal)
{
    if (!m_reply || !m_writer)
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
    m_reporting = false;
    if (!reply) {
        m_busy = false;
        dropDestination();
        emit failed(TransferRequest::failUploadText());
        return;
    }
    reply->deleteLater();
    const int status = TransferRequest::httpStatus(reply);
    const bool failedReply =
        m_broken || reply->error() != QNetworkReply::NoError || status < 200 || status > 299;
    if (failedReply || !m_writer) {
        qCWarning(lcFiles) << "download failed:" << status << reply->errorString();
        m_busy = false;
        dropDestination();
        emit failed(TransferRequest::failUploadText());
        return;
    }
    // The rest goes to the writer whatever its queue holds: the network is done.
    m_writer->write(reply->readAll());
    const QString finalPath = m_writer->fileName();
    const quint64 generation = m_generation;
    m_writer->finish(true, [this, generation, finalPath](bool inPlace) {
        if (generation == m_generation)
            done(inPlace, finalPath);
    });
}

void FileDownload::done(bool inPlace, const QString &path)
{
    m_busy = false;
    m_writer.reset();
    if (!inPlace) {
        emit failed(TransferRequest::failUploadText());
        return;
    }
    qCDebug(lcFiles) << "downloaded" << path;
    emit finished(path);
}

// Drops the temporary file of a download that is not to be kept.
void FileDownload::dropDestination()
{
    ++m_generation;
    m_writer.reset();
}
