#include "chunkedupload.h"

#include "files/filemessageengine.h"
#include "files/transferrequest.h"
#include "logging.h"
#include "net/serverrequest.h"
#include "platform/localpath.h"
#include "json/peerjson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

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

} // namespace

ChunkedUpload::ChunkedUpload(QObject *parent) : QObject(parent) {}

ChunkedUpload::~ChunkedUpload()
{
    if (QNetworkAccessManager *manager = m_slot.current())
        manager->disconnect(this);
    for (const InFlight &sending : qAsConst(m_inFlight))
        if (sending.reply)
            sending.reply->disconnect(this);
}

int ChunkedUpload::chunkCountFor(qint64 size)
{
    if (size <= 0)
        return 1;
    return int((size + chunkSize - 1) / chunkSize);
}

void ChunkedUpload::start(const QString &srcPath, const Message &message)
{
    if (m_busy)
        return;
    m_busy = true;
    m_reporting = true;
    dropInFlight();
    m_srcPath = srcPath;

    m_srcFile = std::make_unique<QFile>(LocalPath::fromUserPath(srcPath));
    if (!m_srcFile->open(QIODevice::ReadOnly)) {
        qCWarning(lcFiles) << "cannot open the file to upload" << m_srcFile->fileName();
        m_srcFile.reset();
        m_busy = false;
        m_reporting = false;
        emit failed(TransferRequest::failOpenText());
        return;
    }
    m_fileSize = m_srcFile->size();

    // The file is read chunk by chunk as each is sent, so its size does not matter.
    // From the local path: a URL text would carry "#" or "%" in a name percent-encoded.
    m_fileName = TransferRequest::fileNameOf(m_srcFile->fileName());
    m_extension = TransferRequest::extensionOf(m_fileName);
    m_nextChunk = 0;
    m_storedChunks = 0;
    m_storedBytes = 0;
    m_chunkCount = chunkCountFor(m_fileSize);
    m_reportedSent = -1;
    m_message = message;
    m_messageKey.clear();

    // One manager for the whole file: its connections stay open from chunk to chunk.
    m_slot.renew();
    if (!sendMore())
        return; // the first chunk could not be read
    // Shown while the chunks go; no attachment yet.
    FileAttachment pending;
    pending.size = m_fileSize;
    registerMessage(false, pending);
    // Only a message registered here may later be taken away under this key.
    if (m_message.chatType == QLatin1String("2") || m_message.chatType == QLatin1String("3"))
        m_messageKey = FileMessageEngine::current()->currentMessageId();
}

void ChunkedUpload::registerMessage(bool send, const FileAttachment &file)
{
    FileMessageEngine *engine = FileMessageEngine::current();
    const Message &m = m_message;
    if (m.chatType == QLatin1String("2"))
        engine->sendPrivateInfor(m.ids, m.msgs, m.msgId, m.sendTypes, m_extension, m.sequence, send,
                                 file);
    else if (m.chatType == QLatin1String("3"))
        engine->sendGroupInfor(m.ids, m.msgs, m.localNumberNames, m.msgId, m.sendTypes, m_extension,
                               m.sequence, send, file);
}

qint64 ChunkedUpload::chunkLength(int chunk) const
{
    return std::min(chunkSize, m_fileSize - qint64(chunk) * chunkSize);
}

bool ChunkedUpload::sendMore()
{
    while (m_busy && m_nextChunk < m_chunkCount) {
        const bool alone = m_nextChunk == 0 || m_nextChunk == m_chunkCount - 1;
        if (alone ? !m_inFlight.isEmpty() || m_storedChunks < m_nextChunk
                  : m_storedChunks == 0 || m_inFlight.size() >= maxInFlight)
            return true;
        if (!sendChunk(m_nextChunk))
            return false;
        ++m_nextChunk;
    }
    return true;
}

bool ChunkedUpload::sendChunk(int chunk)
{
    const qint64 offset = qint64(chunk) * chunkSize;
    auto body = std::make_unique<FileSlice>(m_srcFile->fileName(), offset, chunkLength(chunk));
    if (!body->open(QIODevice::ReadOnly)) {
        // The file shrank or became unreadable since the upload began.
        qCWarning(lcFiles) << "cannot read chunk" << chunk + 1 << "of" << m_srcFile->fileName();
        fail();
        return false;
    }

    // The name is percent-encoded so "&", "#" or "+" in it cannot break the query.
    const QString query = QStringLiteral("chunk=") + QString::number(chunk) +
                          QStringLiteral("&chunks=") + QString::number(m_chunkCount) +
                          QStringLiteral("&name=") +
                          QString::fromLatin1(QUrl::toPercentEncoding(m_fileName));
    const QString url =
        ServerRequest::currentBaseUrl() + QStringLiteral("api/attachment/upload?") + query;
    QNetworkReply *reply =
        m_slot.current()->post(TransferRequest::withStallLimit(
                                   ServerRequest::make(url, ServerRequest::Body::JsonUtf8, true)),
                               body.get());
    body.release()->setParent(reply);
    m_inFlight.append({reply, chunk, 0});
    connect(reply, &QNetworkReply::uploadProgress, this,
            [this, reply](qlonglong sent, qlonglong) { onProgress(reply, sent); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
    return true;
}

void ChunkedUpload::onProgress(QNetworkReply *reply, qlonglong bytesSent)
{
    if (!m_reporting)
        return;
    // Counted against the whole file, so the bar rises once from 0 to the file's size.
    qint64 sent = m_storedBytes;
    for (InFlight &sending : m_inFlight) {
        if (sending.reply == reply)
            sending.sent = std::min(chunkLength(sending.chunk), std::max<qint64>(0, bytesSent));
        sent += sending.sent;
    }
    sent = std::min(m_fileSize, sent);
    if (sent < m_reportedSent)
        return;
    m_reportedSent = sent;
    emit progress(m_messageKey, sent, m_fileSize);
}

void ChunkedUpload::dropInFlight()
{
    const QList<InFlight> sending = std::exchange(m_inFlight, {});
    for (const InFlight &one : sending) {
        if (!one.reply)
            continue;
        one.reply->disconnect(this);
        one.reply->abort();
        one.reply->deleteLater();
    }
}

void ChunkedUpload::fail()
{
    m_busy = false;
    m_reporting = false;
    dropInFlight();
    m_srcFile.reset();
    emit failed(TransferRequest::failUploadText());
    if (!m_messageKey.isEmpty())
        FileMessageEngine::current()->removeMessage(m_message.ids, m_messageKey);
}

void ChunkedUpload::onFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    int chunk = -1;
    for (int i = 0; i < m_inFlight.size(); ++i) {
        if (m_inFlight.at(i).reply == reply) {
            chunk = m_inFlight.takeAt(i).chunk;
            break;
        }
    }
    if (chunk < 0 || !m_busy)
        return;
    if (chunk == m_chunkCount - 1) {
        onLastFinished(reply);
        return;
    }
    const int status = TransferRequest::httpStatus(reply);
    if (status != 200 || reply->error() != QNetworkReply::NoError) {
        qCWarning(lcFiles) << "chunk" << chunk + 1 << "failed:" << status;
        fail();
        return;
    }
    qCDebug(lcFiles) << "chunk" << chunk + 1 << "stored:" << reply->readAll().size() << "bytes";
    ++m_storedChunks;
    m_storedBytes += chunkLength(chunk);
    sendMore();
}

void ChunkedUpload::onLastFinished(QNetworkReply *reply)
{
    m_busy = false;
    m_srcFile.reset();
    const QByteArray body = reply->readAll();
    QJsonObject object;
    const bool isObject = PeerJson::parseObject(body, &object);
    const int status = object.value(QLatin1String("status")).toInt();
    if (!isObject || status <= 0) {
        const QJsonArray errors = object.value(QLatin1String("errors")).toArray();
        qCWarning(lcFiles)
            << "the last chunk was refused:"
            << (errors.isEmpty()
                    ? QString::fromUtf8(body.left(200))
                    : errors.first().toObject().value(QLatin1String("message")).toString());
        // The pending message goes too: it would otherwise wait for a file that never comes.
        fail();
        return;
    }

    if (!m_messageKey.isEmpty())
        FileMessageEngine::current()->removeMessage(m_message.ids, m_messageKey);
    const QJsonValue attachment =
        object.value(QLatin1String("data")).toObject().value(QLatin1String("attachment_id"));
    FileAttachment file;
    file.id = attachment.isDouble() ? QString::number(attachment.toDouble(), 'f', 0)
                                    : attachment.toString();
    file.size = m_fileSize;
    // The local path goes with the copy shown, the one the user opens later.
    file.localPath = m_srcPath;
    m_srcPath.clear();
    if (m_reporting && m_reportedSent < m_fileSize)
        emit progress(m_messageKey, m_fileSize, m_fileSize);
    registerMessage(false, file);
    file.localPath.clear();
    registerMessage(true, file);
    m_reporting = false;
}
