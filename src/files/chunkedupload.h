#pragma once

#include "messaging/fileattachment.h"
#include "net/requestslot.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QFile;
class QNetworkReply;

// Uploads one chat file at a time in 5 MiB chunks, tied to its message in the messaging engine:
// the message is shown as pending while the chunks go, taken away if they fail, and sent with
// the attachment once the server has the whole file.
class ChunkedUpload : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 chunkSize = 5242880;

    // Who the file goes to and how its message reads.
    struct Message
    {
        QString msgId;            // the documents' id of the upload
        QString ids;              // the conversation
        QString msgs;             // the message text
        QString sendTypes;        // "file" or "img"
        QString chatType;         // "2" private, "3" group
        int sequence = 1;         // the file's place among those sent together, from 1
        QString localNumberNames; // groups: the sender's display name
    };

    explicit ChunkedUpload(QObject *parent = nullptr);
    ~ChunkedUpload() override;

    // Ignored while an upload runs. `srcPath` may be a "file:" URL.
    void start(const QString &srcPath, const Message &message);
    // Stops the progress signals only; the upload goes on.
    void stopReporting() { m_reporting = false; }
    bool busy() const { return m_busy; }

    // Number of chunks a file of `size` bytes is sent in (an empty file: one empty chunk).
    static int chunkCountFor(qint64 size);

signals:
    void progress(const QString &msgids, qlonglong bytesSent, qlonglong bytesTotal);
    void failed(const QString &errors);

private:
    void onFinished(QNetworkReply *reply);
    void onProgress(qlonglong bytesSent, qlonglong bytesTotal);
    void sendChunk();
    void fail();
    void registerMessage(bool send, const FileAttachment &file);

    bool m_busy = false;
    bool m_reporting = false;
    QString m_srcPath;
    std::unique_ptr<QFile> m_srcFile;
    RequestSlot m_slot;
    QPointer<QNetworkReply> m_reply;
    Message m_message;
    QString m_fileName;
    QString m_extension;
    QString m_messageKey;
    qint64 m_fileSize = 0;
    int m_chunkIndex = 0;
    int m_chunkCount = 0;
    qint64 m_reportedSent = -1;
};
