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
// the attachment once the server has the whole file. The first chunk opens the upload at the
// server and the last one closes it, so each of them goes alone; the chunks between go two at a
// time on one manager, the next one in flight while the server stores the one before.
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

    // Chunks between the first and the last that may be on their way at once.
    static constexpr int maxInFlight = 2;

signals:
    void progress(const QString &msgids, qlonglong bytesSent, qlonglong bytesTotal);
    void failed(const QString &errors);

private:
    struct InFlight
    {
        QPointer<QNetworkReply> reply;
        int chunk = 0; // 0-based
        qint64 sent = 0;
    };

    void onFinished(QNetworkReply *reply);
    void onLastFinished(QNetworkReply *reply);
    void onProgress(QNetworkReply *reply, qlonglong bytesSent);
    // Sends every chunk the order allows now; false when one could not be read.
    bool sendMore();
    bool sendChunk(int chunk);
    qint64 chunkLength(int chunk) const;
    void dropInFlight();
    void fail();
    void registerMessage(bool send, const FileAttachment &file);

    bool m_busy = false;
    bool m_reporting = false;
    QString m_srcPath;
    std::unique_ptr<QFile> m_srcFile;
    RequestSlot m_slot;
    QList<InFlight> m_inFlight;
    Message m_message;
    QString m_fileName;
    QString m_extension;
    QString m_messageKey;
    qint64 m_fileSize = 0;
    int m_nextChunk = 0;    // 0-based, the next to send
    int m_storedChunks = 0; // acknowledged by the server
    qint64 m_storedBytes = 0;
    int m_chunkCount = 0;
    qint64 m_reportedSent = -1;
};
