#include "chatfiletransfers.h"

#include "config/configfile.h"
#include "files/downloadfile.h"
#include "files/messagefilestore.h"
#include "messaging/conversationmodel.h"
#include "platform/localpath.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

ChatFileTransfers::ChatFileTransfers(QObject *parent) : QObject(parent) {}

ChatFileTransfers::~ChatFileTransfers()
{
    // The rows outlive no transfer: the lookup must not call into a helper that is gone.
    if (m_model)
        m_model->setSavedFileLookup({});
}

void ChatFileTransfers::setModel(ConversationModel *model)
{
    if (model == m_model)
        return;
    if (m_model)
        m_model->setSavedFileLookup({});
    m_model = model;
    if (m_model)
        m_model->setSavedFileLookup([](const QString &conversation, const QString &msgId) {
            return MessageFilestore::instance()->getRowData(conversation, msgId).value(0);
        });
    emit modelChanged();
}

QVariantMap ChatFileTransfers::downloads() const
{
    QVariantMap map;
    for (auto it = m_downloads.cbegin(); it != m_downloads.cend(); ++it)
        map.insert(it.key(), QVariantMap{{QStringLiteral("dest"), it->dest},
                                         {QStringLiteral("conversation"), it->conversation}});
    return map;
}

bool ChatFileTransfers::download(const QString &msgId)
{
    const int at = m_model ? m_model->indexOf(msgId) : -1;
    if (at < 0 || busy(msgId))
        return true;
    const ConversationModel::Row &row = m_model->row(at);
    const QString source = ConversationModel::attachmentOf(row.download);
    if (source.isEmpty())
        return false;
    QString name = fileNameOf(row.msg);
    if (name.isEmpty())
        name = QStringLiteral("file-") + msgId;
    m_model->setProperty(at, QStringLiteral("failText"), QString());
    start(msgId, source, freeDestination(downloadFolder(), name));
    return true;
}

void ChatFileTransfers::start(const QString &msgId, const QString &source, const QString &dest)
{
    auto *file = new DownloadFile(this);
    m_downloads.insert(msgId, {file, dest, m_model->conversation()});
    connect(file, &DownloadFile::downloadProgress, this,
            [this, msgId](qlonglong received, qlonglong total) {
                setRow(msgId, "progress", progressOf(received, total));
            });
    connect(file, &DownloadFile::sigDownloadFinished, this,
            [this, msgId]() { downloadEnded(msgId, true, QString()); });
    connect(file, &DownloadFile::sigUploadFile, this,
            [this, msgId](bool ok, const QString &errors) {
                if (!ok)
                    downloadEnded(msgId, false, errors);
            });
    setRow(msgId, "progress", 0.0);
    emit downloadsChanged();
    file->dwonloadFileToLoacl(source, dest);
}

void ChatFileTransfers::downloadEnded(const QString &msgId, bool finished, const QString &errors)
{
    const Download download = m_downloads.take(msgId);
    if (finished) {
        MessageFilestore::instance()->insertNewData(download.conversation, msgId, download.dest);
        setRow(msgId, "localPath", download.dest);
    }
    setRow(msgId, "progress", -1.0);
    if (!finished)
        emit tip(errors);
    drop(download.file);
    emit downloadsChanged();
}

bool ChatFileTransfers::sendFile(const QString &path)
{
    const QString local = LocalPath::fromUserPath(path);
    if (!m_model || !fileExists(local))
        return false;
    auto *uploader = new DownloadFile(this);
    m_uploads.insert(uploader, {QString(), local});
    connect(uploader, &DownloadFile::sigUploadProgress, this,
            [this, uploader](const QString &key, qlonglong sent, qlonglong total) {
                uploadProgress(uploader, key, sent, total);
            });
    connect(uploader, &DownloadFile::sigUploadFile, this,
            [this, uploader](bool ok, const QString &errors) {
                if (!ok)
                    uploadFailed(uploader, errors);
            });
    // Kept while the view lasts: the last chunk's reply comes after the last progress report.
    uploader->loaclFileToNetwork(local, QString(), m_model->conversation(), fileNameOf(local),
                                 QStringLiteral("file"), m_model->types(), 0, m_selfName);
    return true;
}

void ChatFileTransfers::uploadProgress(DownloadFile *uploader, const QString &key, qint64 sent,
                                       qint64 total)
{
    Upload &upload = m_uploads[uploader];
    if (upload.key.isEmpty())
        upload.key = key;
    if (m_model)
        m_model->setUploadProgress(upload.key, upload.localPath,
                                   total > 0 ? std::min(1.0, double(sent) / total) : 1.0);
}

void ChatFileTransfers::uploadFailed(DownloadFile *uploader, const QString &errors)
{
    const Upload upload = m_uploads.take(uploader);
    const QString text = errors.isEmpty() ? m_uploadFailedText : errors;
    if (m_model && !upload.key.isEmpty() && m_model->indexOf(upload.key) >= 0)
        m_model->setTransferFailed(upload.key, text);
    else
        emit tip(text);
    drop(uploader);
}

bool ChatFileTransfers::cancel(const QString &msgId, const QString &cancelledText)
{
    if (busy(msgId)) {
        const Download download = m_downloads.take(msgId);
        download.file->stopDownFile();
        setRow(msgId, "progress", -1.0);
        setRow(msgId, "failText", cancelledText);
        // The downloader goes, and the transfer and the bytes so far with it.
        drop(download.file);
        emit downloadsChanged();
        return true;
    }
    for (auto it = m_uploads.begin(); it != m_uploads.end(); ++it) {
        if (it->key != msgId || msgId.isEmpty())
            continue;
        DownloadFile *uploader = it.key();
        m_uploads.erase(it);
        uploader->stopUploadFile();
        if (m_model)
            m_model->setTransferFailed(msgId, cancelledText);
        drop(uploader);
        return true;
    }
    return false;
}

void ChatFileTransfers::setRow(const QString &msgId, const char *role, const QVariant &value)
{
    if (m_model)
        m_model->setProperty(m_model->indexOf(msgId), QLatin1String(role), value);
}

void ChatFileTransfers::drop(DownloadFile *file)
{
    if (!file)
        return;
    // What it still reports is not heeded.
    disconnect(file, nullptr, this, nullptr);
    file->deleteLater();
}

bool ChatFileTransfers::fileExists(const QString &path)
{
    return !path.isEmpty() && MessageFilestore::jusitFileExits(path);
}

QString ChatFileTransfers::downloadFolder()
{
    const QString folder = LocalPath::fromUserPath(ConfigFile::defaultDownloadPath());
    if (!folder.isEmpty() && QFileInfo::exists(folder))
        return folder;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
           QStringLiteral("/morvane/tarnex");
}

QString ChatFileTransfers::freeDestination(const QString &folder, const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString suffix = dot > 0 ? name.mid(dot) : QString();
    QString dest = folder + QLatin1Char('/') + name;
    for (int n = 1; QFileInfo::exists(LocalPath::fromUserPath(dest)) && n < 1000; ++n)
        dest = QStringLiteral("%1/%2 (%3)%4").arg(folder, stem).arg(n).arg(suffix);
    return dest;
}

double ChatFileTransfers::progressOf(qint64 received, qint64 total)
{
    if (total > 0)
        return std::min(1.0, double(received) / total);
    return total >= 0 && received >= total ? 1.0 : 0.0;
}

QString ChatFileTransfers::fileNameOf(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}
