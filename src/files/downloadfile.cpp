#include "downloadfile.h"

#include "files/transferrequest.h"

DownloadFile::DownloadFile(QObject *parent) : QObject(parent)
{
    connect(&m_download, &FileDownload::progress, this, &DownloadFile::downloadProgress);
    connect(&m_download, &FileDownload::finished, this, &DownloadFile::sigDownloadFinished);
    connect(&m_download, &FileDownload::failed, this,
            [this](const QString &errors) { emit sigUploadFile(false, errors); });
    connect(&m_upload, &ChunkedUpload::progress, this, &DownloadFile::sigUploadProgress);
    connect(&m_upload, &ChunkedUpload::failed, this,
            [this](const QString &errors) { emit sigUploadFile(false, errors); });
}

QString DownloadFile::fileNameOf(const QString &path)
{
    return TransferRequest::fileNameOf(path);
}

QString DownloadFile::extensionOf(const QString &fileName)
{
    return TransferRequest::extensionOf(fileName);
}

void DownloadFile::dwonloadFileToLoacl(const QString &srcPath, const QString &destPath)
{
    m_download.start(srcPath, destPath);
}

void DownloadFile::stopDownFile()
{
    m_download.stopReporting();
}

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
    ChunkedUpload::Message message;
    message.msgId = msgId;
    message.ids = ids;
    message.msgs = msgs;
    message.sendTypes = sendTypes;
    message.chatType = filePathas;
    message.sequence = num + 1;
    message.localNumberNames = localNumberNames;
    m_upload.start(srcPath, message);
}

void DownloadFile::stopUploadFile()
{
    m_upload.stopReporting();
}
