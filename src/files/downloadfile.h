#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QFile;
class QNetworkReply;
class QSaveFile;

// Moves chat files between the disk and the server: downloads an attachment to a file with
// progress, and uploads a chat file in 5 MiB chunks, tied to its message in the messaging
// engine. One download and one upload may run at the same time; a further call of either kind
// while one runs is ignored.
class DownloadFile : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 chunkSize = 5242880;

    explicit DownloadFile(QObject *parent = nullptr);
    ~DownloadFile() override;

    // Downloads the attachment `srcPath` (its id) into `destPath` ("file:" URLs accepted). The
    // bytes go to a temporary file beside the destination, which replaces it only once the
    // transfer is complete: a failed or cut-off download leaves an existing file as it was.
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

    bool downloadBusy() const { return m_downloadBusy; }
    bool uploadBusy() const { return m_uploadBusy; }

    // Last "/"-separated part of a path, "\" counting as "/".
    static QString fileNameOf(const QString &path);
    // The part after the last ".", when the name has one; else empty.
    static QString extensionOf(const QString &fileName);
    // Number of chunks a file of `size` bytes is sent in (an empty file: one empty chunk).
    static int chunkCountFor(qint64 size);

signals:
    void downloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    void sigUploadProgress(QString msgids, qlonglong bytesReceived, qlonglong bytesTotal);
    void sigUploadFile(bool status, QString errors);
    // A download is complete and in place under its final name (progress alone does not say
    // that: the last bytes are written, and can still fail, after it reaches the total).
    void sigDownloadFinished(QString path);

public slots:
    void onDwonloadFileToLoacl(QNetworkReply *reply);
    void onDownloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    void onLoaclFileToNetwork(QNetworkReply *reply);
    void onUploadProgress(qlonglong bytesSent, qlonglong bytesTotal);

private:
    void writeArrived();
    void finishDestination(bool keep);
    void sendChunk();
    void failUpload();
    void registerMessage(bool send);

    // Download half.
    bool m_downloadBusy = false;
    bool m_downloadReporting = false;
    bool m_downloadBroken = false;
    QString m_destPath;
    RequestSlot m_downloadSlot;
    QPointer<QNetworkReply> m_downloadReply;
    std::unique_ptr<QSaveFile> m_destFile;

    // Upload half.
    bool m_uploadBusy = false;
    bool m_uploadReporting = false;
    QString m_srcPath;
    std::unique_ptr<QFile> m_srcFile;
    RequestSlot m_chunkSlot;
    QPointer<QNetworkReply> m_chunkReply;
    QString m_msgId;
    QString m_chatType;
    int m_sequence = 0;
    QString m_ids;
    QString m_msgs;
    QString m_sendTypes;
    QString m_localNumberNames;
    QString m_fileName;
    QString m_extension;
    QString m_messageKey;
    qint64 m_fileSize = 0;
    int m_chunkIndex = 0;
    int m_chunkCount = 0;
    qint64 m_reportedSent = -1;
};
