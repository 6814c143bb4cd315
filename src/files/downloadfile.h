#pragma once

#include "files/chunkedupload.h"
#include "files/filedownload.h"

#include <QObject>
#include <QString>

// The documents' face of chat-file transfers: downloads an attachment to a file with progress,
// and uploads a chat file in chunks tied to its message in the messaging engine. One download
// and one upload may run at the same time; a further call of either kind while one runs is
// ignored.
class DownloadFile : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 chunkSize = ChunkedUpload::chunkSize;

    explicit DownloadFile(QObject *parent = nullptr);

    // Downloads the attachment `srcPath` (its id) into `destPath` ("file:" URLs accepted). A
    // failed or cut-off download leaves an existing file as it was.
    Q_INVOKABLE void dwonloadFileToLoacl(const QString &srcPath, const QString &destPath);
    // Stops the progress signals only; the transfer goes on.
    Q_INVOKABLE void stopDownFile();

    // Uploads a chat file. filePathas is the conversation kind: "2" private, "3" group.
    Q_INVOKABLE void loaclFileToNetwork(const QString &srcPath, const QString &msgId,
                                        const QString &ids, const QString &msgs,
                                        const QString &sendTypes, const QString &filePathas,
                                        int num, const QString &localNumberNames);
    Q_INVOKABLE void loaclFileToNetwork(const QString &srcPath, const QString &msgId,
                                        const QString &ids, const QString &msgs,
                                        const QString &sendTypes, const QString &filePathas,
                                        int num);
    Q_INVOKABLE void loaclFileToNetwork(const QString &srcPath, const QString &msgId,
                                        const QString &ids, const QString &msgs,
                                        const QString &sendTypes, const QString &filePathas);
    // Stops the progress signals only; the upload goes on.
    Q_INVOKABLE void stopUploadFile();

    bool downloadBusy() const { return m_download.busy(); }
    bool uploadBusy() const { return m_upload.busy(); }

    static QString fileNameOf(const QString &path);
    static QString extensionOf(const QString &fileName);
    static int chunkCountFor(qint64 size) { return ChunkedUpload::chunkCountFor(size); }

signals:
    void downloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    void sigUploadProgress(QString msgids, qlonglong bytesReceived, qlonglong bytesTotal);
    void sigUploadFile(bool status, QString errors);
    // A download is complete and in place under its final name (progress alone does not say
    // that: the last bytes are written, and can still fail, after it reaches the total).
    void sigDownloadFinished(QString path);

private:
    FileDownload m_download;
    ChunkedUpload m_upload;
};
