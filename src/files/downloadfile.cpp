#include "downloadfile.h"

#include "files/filemessageengine.h"
#include "language/text.h"
#include "logging.h"
#include "net/serverrequest.h"
#include "net/urlsegment.h"
#include "platform/localpath.h"
#include "session/parameterinfor.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

namespace {

// The most a download holds in memory before it reaches the file: the network reads no further
// ahead, so a fast server cannot fill the memory while the disk catches up.
constexpr qint64 kDownloadBuffer = 2 * 1024 * 1024;

QString failUploadText()
{
    return tarnex::text(QStringLiteral("fail_upload_file"), QStringLiteral("上传文件失败"));
}

QString failOpenText()
{
    return tarnex::text(QStringLiteral("fail_open_file"), QStringLiteral("打开文件失败"));
}

int httpStatus(QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// One chunk of the file as the request body, read from the disk as the network takes it, so
// no chunk is ever held in memory whole.
class FileSlice : public QIODevice
{
public:
    FileSlice(const QString &path, qint64 offset, qint64 length)
        : m_file(path), m_offset(offset), m_length(length)
    {}

    bool open(OpenMode mode) override
    {
        if (!m_file.open(QIODevice::ReadOnly) || m_file.size() < m_offset + m_length ||
            !m_file.seek(m_offset))
            return false;
        return QIODevice::open(mode | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_length; }
    bool seek(qint64 pos) override
    {
        return pos >= 0 && pos <= m_length && m_file.seek(m_offset + pos) && QIODevice::seek(pos);
    }
    bool atEnd() const override { return m_file.pos() >= m_offset + m_length; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 left = m_offset + m_length - m_file.pos();
        if (left <= 0)
            return -1;
        return m_file.read(data, std::min(maxSize, left));
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile m_file;
    qint64 m_offset;
    qint64 m_length;
};

// A request that ends when the server stays silent for the data limit, however large the file.
QNetworkRequest withStallLimit(QNetworkRequest request)
{
    request.setTransferTimeout(ServerRequest::dataWaitMs);
    return request;
}

} // namespace

DownloadFile::DownloadFile(QObject *parent) : QObject(parent) {}

DownloadFile::~DownloadFile()
{
    if (QNetworkAccessManager *manager = m_downloadSlot.current())
        manager->disconnect(this);
    if (m_downloadReply)
        m_downloadReply->disconnect(this);
    if (QNetworkAccessManager *manager = m_chunkSlot.current())
        manager->disconnect(this);
    if (m_chunkReply)
        m_chunkReply->disconnect(this);
    // A download cut short by the end of its owner is of no use to anyone.
    finishDestination(false);
}

QString DownloadFile::fileNameOf(const QString &path)
{
    QString slashed = path;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return slashed.split(QLatin1Char('/')).last();
}

QString DownloadFile::extensionOf(const QString &fileName)
{
    const QStringList parts = fileName.split(QLatin1Char('.'));
    return parts.size() >= 2 ? parts.last() : QString();
}

int DownloadFile::chunkCountFor(qint64 size)
{
    if (size <= 0)
        return 1;
    return int((size + chunkSize - 1) / chunkSize);
}

// ---- download ----

void DownloadFile::dwonloadFileToLoacl(const QString &srcPath, const QString &destPath)
{
    if (m_downloadBusy)
        return;
    m_destPath = destPath;
    m_downloadBusy = true;
    m_downloadReporting = true;
    m_downloadBroken = false;
    if (m_downloadReply)
        m_downloadReply->disconnect(this);
    finishDestination(false);

    const QString localPath = LocalPath::fromUserPath(destPath);
    // A chosen file never climbs; a path put together from a name in a message may.
    const bool climbs = QString(localPath)
                            .replace(QLatin1Char('\\'), QLatin1Char('/'))
                            .split(QLatin1Char('/'))
                            .contains(QStringLiteral(".."));
    m_destFile = std::make_unique<QSaveFile>(localPath);
    if (climbs || !m_destFile->open(QIODevice::WriteOnly)) {
        qCWarning(lcFiles) << "cannot create the download destination" << m_destFile->fileName()
                           << (climbs ? QStringLiteral("(it climbs with \"..\")")
                                      : m_destFile->errorString());
        m_destFile.reset();
        m_downloadBusy = false;
        m_downloadReporting = false;
        emit sigUploadFile(false, failOpenText());
        return;
    }

    QString id = srcPath;
    id.remove(QLatin1Char('"'));
    // The id comes from a message: one encoded segment, so it cannot climb or add a query.
    const QString url = ServerRequest::currentBaseUrl() + QStringLiteral("api/attachment/index/") +
                        UrlSegment::encode(id) + QStringLiteral("?api_token=") +
                        ParameterInfor::instance()->token() + QStringLiteral("&operate=download");
    QNetworkAccessManager *manager = m_downloadSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &DownloadFile::onDwonloadFileToLoacl);
    m_downloadReply = manager->get(withStallLimit(ServerRequest::make(url)));
    m_downloadReply->setReadBufferSize(kDownloadBuffer);
    // Progress signals come at most every 100 ms, so the bytes are taken as they arrive; with
    // the bounded buffer the network would otherwise wait for a signal that never comes.
    connect(m_downloadReply, &QNetworkReply::readyRead, this, &DownloadFile::writeArrived);
    connect(m_downloadReply, &QNetworkReply::downloadProgress, this,
            &DownloadFile::onDownloadProgress);
}

void DownloadFile::stopDownFile()
{
    m_downloadReporting = false;
}

void DownloadFile::writeArrived()
{
    QNetworkReply *reply = m_downloadReply;
    if (!reply || !m_destFile)
        return;
    const int status = httpStatus(reply);
    if (status < 200 || status > 299) {
        // An error page is not the file; it is dropped and the download fails at its end.
        m_downloadBroken = true;
        reply->readAll();
        return;
    }
    if (!m_destFile->isOpen() || m_downloadBroken)
        return;
    const QByteArray data = reply->readAll();
    if (!data.isEmpty() && m_destFile->write(data) != data.size()) {
        qCWarning(lcFiles) << "cannot write the download" << m_destFile->fileName()
                           << m_destFile->errorString();
        m_downloadBroken = true;
        reply->abort();
    }
}

void DownloadFile::onDownloadProgress(qlonglong bytesReceived, qlonglong bytesTotal)
{
    if (!m_downloadReply || !m_destFile)
        return;
    writeArrived();
    if (!m_downloadReporting || m_downloadBroken)
        return;
    if (bytesReceived == 0 && bytesTotal == 0)
        emit downloadProgress(1, 1); // an empty file shows as complete
    else
        emit downloadProgress(bytesReceived, bytesTotal);
}

void DownloadFile::onDwonloadFileToLoacl(QNetworkReply *reply)
{
    m_downloadBusy = false;
    m_downloadReporting = false;
    if (!reply) {
        finishDestination(false);
        emit sigUploadFile(false, failUploadText());
        return;
    }
    reply->deleteLater();
    const int status = httpStatus(reply);
    const bool failed = m_downloadBroken || reply->error() != QNetworkReply::NoError ||
                        status < 200 || status > 299;
    const QByteArray rest = reply->readAll();
    if (!failed && m_destFile && m_destFile->isOpen() && !rest.isEmpty() &&
        m_destFile->write(rest) != rest.size()) {
        m_downloadBroken = true;
    }
    if (failed || m_downloadBroken) {
        qCWarning(lcFiles) << "download failed:" << status << reply->errorString();
        finishDestination(false);
        emit sigUploadFile(false, failUploadText());
        return;
    }
    const QString finalPath = m_destFile ? m_destFile->fileName() : m_destPath;
    finishDestination(true);
    if (m_downloadBroken) {
        emit sigUploadFile(false, failUploadText());
        return;
    }
    qCDebug(lcFiles) << "downloaded" << finalPath;
    emit sigDownloadFinished(finalPath);
}

// Puts a complete download in place of the destination, or drops the temporary file.
void DownloadFile::finishDestination(bool keep)
{
    if (!m_destFile)
        return;
    if (!keep || !m_destFile->commit()) {
        if (keep) {
            qCWarning(lcFiles) << "cannot put the download in place" << m_destFile->fileName()
                               << m_destFile->errorString();
            m_downloadBroken = true;
        }
        m_destFile->cancelWriting();
    }
    m_destFile.reset();
}

// ---- chat-file upload ----

void DownloadFile::loaclFileToNetwork(const QString &srcPath, const QString &msgId,
                                      const QString &ids, const QString &msgs,
                                      const QString &sendTypes, const QString &filePathas)
{
    loaclFileToNetwork(srcPath, msgId, ids, msgs, sendTypes, filePathas, 0, QString());
}

void DownloadFile::loaclFileToNetwork(const QString &srcPath, const QString &msgId,
                                      const QString &ids, const QString &msgs,
                                      const QString &sendTypes, const QString &filePathas, int num)
{
    loaclFileToNetwork(srcPath, msgId, ids, msgs, sendTypes, filePathas, num, QString());
}

void DownloadFile::loaclFileToNetwork(const QString &srcPath, const QString &msgId,
                                      const QString &ids, const QString &msgs,
                                      const QString &sendTypes, const QString &filePathas, int num,
                                      const QString &localNumberNames)
{
    if (m_uploadBusy)
        return;
    m_msgId = msgId;
    m_uploadBusy = true;
    m_uploadReporting = true;
    if (m_chunkReply)
        m_chunkReply->disconnect(this);
    if (QNetworkAccessManager *manager = m_chunkSlot.current())
        manager->disconnect(this);
    m_srcFile.reset();
    m_srcPath = srcPath;

    m_srcFile = std::make_unique<QFile>(LocalPath::fromUserPath(srcPath));
    if (!m_srcFile->open(QIODevice::ReadOnly)) {
        qCWarning(lcFiles) << "cannot open the file to upload" << m_srcFile->fileName();
        m_srcFile.reset();
        m_uploadBusy = false;
        m_uploadReporting = false;
        emit sigUploadFile(false, failOpenText());
        return;
    }
    m_fileSize = m_srcFile->size();
    FileMessageEngine::current()->setPendingFileSize(m_fileSize);

    // The file is read chunk by chunk as each is sent, so its size does not matter.
    // From the local path: a URL text would carry "#" or "%" in a name percent-encoded.
    m_fileName = fileNameOf(m_srcFile->fileName());
    m_extension = extensionOf(m_fileName);
    m_chunkIndex = 1;
    m_chunkCount = chunkCountFor(m_fileSize);
    m_reportedSent = -1;

    m_chatType = filePathas;
    m_sequence = num + 1;
    m_ids = ids;
    m_msgs = msgs;
    m_sendTypes = sendTypes;
    m_localNumberNames = localNumberNames;
    m_messageKey.clear();

    sendChunk();
    if (!m_uploadBusy)
        return; // the first chunk could not be read
    registerMessage(false);
    // Only a message registered here may later be taken away under this key.
    if (m_chatType == QLatin1String("2") || m_chatType == QLatin1String("3"))
        m_messageKey = FileMessageEngine::current()->currentMessageId();
}

void DownloadFile::registerMessage(bool send)
{
    FileMessageEngine *engine = FileMessageEngine::current();
    if (m_chatType == QLatin1String("2"))
        engine->sendPrivateInfor(m_ids, m_msgs, m_msgId, m_sendTypes, m_extension, m_sequence,
                                 send);
    else if (m_chatType == QLatin1String("3"))
        engine->sendGroupInfor(m_ids, m_msgs, m_localNumberNames, m_msgId, m_sendTypes, m_extension,
                               m_sequence, send);
}

void DownloadFile::stopUploadFile()
{
    m_uploadReporting = false;
}

void DownloadFile::sendChunk()
{
    const qint64 offset = qint64(m_chunkIndex - 1) * chunkSize;
    const qint64 length = std::min(chunkSize, m_fileSize - offset);
    auto body = std::make_unique<FileSlice>(m_srcFile->fileName(), offset, length);
    if (!body->open(QIODevice::ReadOnly)) {
        // The file shrank or became unreadable since the upload began.
        qCWarning(lcFiles) << "cannot read chunk" << m_chunkIndex << "of" << m_srcFile->fileName();
        failUpload();
        return;
    }

    QNetworkAccessManager *manager = m_chunkSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &DownloadFile::onLoaclFileToNetwork);
    // The name is percent-encoded so "&", "#" or "+" in it cannot break the query.
    const QString query = QStringLiteral("chunk=") + QString::number(m_chunkIndex - 1) +
                          QStringLiteral("&chunks=") + QString::number(m_chunkCount) +
                          QStringLiteral("&name=") +
                          QString::fromLatin1(QUrl::toPercentEncoding(m_fileName));
    const QString url =
        ServerRequest::currentBaseUrl() + QStringLiteral("api/attachment/upload?") + query;
    m_chunkReply = manager->post(
        withStallLimit(ServerRequest::make(url, ServerRequest::Body::JsonUtf8, true)), body.get());
    body.release()->setParent(m_chunkReply);
    connect(m_chunkReply, &QNetworkReply::uploadProgress, this, &DownloadFile::onUploadProgress);
}

void DownloadFile::onUploadProgress(qlonglong bytesSent, qlonglong bytesTotal)
{
    Q_UNUSED(bytesTotal)
    if (!m_uploadReporting)
        return;
    // Counted against the whole file, so the bar rises once from 0 to the file's size.
    const qint64 offset = qint64(m_chunkIndex - 1) * chunkSize;
    const qint64 sent = std::min(m_fileSize, offset + std::max<qint64>(0, bytesSent));
    if (sent < m_reportedSent)
        return;
    m_reportedSent = sent;
    emit sigUploadProgress(m_messageKey, sent, m_fileSize);
}

void DownloadFile::failUpload()
{
    m_uploadBusy = false;
    m_uploadReporting = false;
    m_srcFile.reset();
    emit sigUploadFile(false, failUploadText());
    if (!m_messageKey.isEmpty())
        FileMessageEngine::current()->removeMessage(m_ids, m_messageKey);
}

void DownloadFile::onLoaclFileToNetwork(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
    if (m_chunkCount > m_chunkIndex) {
        if (!reply || httpStatus(reply) != 200 || reply->error() != QNetworkReply::NoError) {
            qCWarning(lcFiles) << "chunk" << m_chunkIndex
                               << "failed:" << (reply ? httpStatus(reply) : 0);
            failUpload();
            return;
        }
        qCDebug(lcFiles) << "chunk" << m_chunkIndex << "stored:" << reply->readAll();
        ++m_chunkIndex;
        sendChunk();
        return;
    }

    m_uploadBusy = false;
    m_srcFile.reset();
    if (!reply) {
        m_uploadReporting = false;
        return;
    }
    const QByteArray body = reply->readAll();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    const QJsonObject object = document.object();
    const int status = object.value(QLatin1String("status")).toInt();
    if (error.error != QJsonParseError::NoError || !document.isObject() || status <= 0) {
        const QJsonArray errors = object.value(QLatin1String("errors")).toArray();
        qCWarning(lcFiles)
            << "the last chunk was refused:"
            << (errors.isEmpty()
                    ? QString::fromUtf8(body.left(200))
                    : errors.first().toObject().value(QLatin1String("message")).toString());
        // The pending message goes too: it would otherwise wait for a file that never comes.
        failUpload();
        return;
    }

    FileMessageEngine *engine = FileMessageEngine::current();
    if (!m_messageKey.isEmpty())
        engine->removeMessage(m_ids, m_messageKey);
    engine->setUploadFilePath(m_srcPath);
    m_srcPath.clear();
    const QJsonValue attachment =
        object.value(QLatin1String("data")).toObject().value(QLatin1String("attachment_id"));
    engine->setAttachmentId(attachment.isDouble() ? QString::number(attachment.toDouble(), 'f', 0)
                                                  : attachment.toString());
    if (m_uploadReporting && m_reportedSent < m_fileSize)
        emit sigUploadProgress(m_messageKey, m_fileSize, m_fileSize);
    registerMessage(false);
    registerMessage(true);
    m_uploadReporting = false;
}
