#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QNetworkReply;
class DiskWriter;

// Downloads one chat attachment at a time into a file, with progress. The bytes go to a
// temporary file beside the destination, which replaces it only once the transfer is complete;
// the file is written on a thread of its own while the network goes on.
class FileDownload : public QObject
{
    Q_OBJECT
public:
    explicit FileDownload(QObject *parent = nullptr);
    ~FileDownload() override;

    // Ignored while a download runs. `destPath` may be a "file:" URL.
    void start(const QString &attachmentId, const QString &destPath);
    // Stops the progress signals only; the transfer goes on.
    void stopReporting() { m_reporting = false; }
    bool busy() const { return m_busy; }

signals:
    void progress(qlonglong bytesReceived, qlonglong bytesTotal);
    void failed(const QString &errors);
    void finished(const QString &path);

private:
    void onFinished(QNetworkReply *reply);
    void onProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    void writeArrived();
    void writeFailed();
    void dropDestination();
    void done(bool inPlace, const QString &path);

    bool m_busy = false;
    bool m_reporting = false;
    bool m_broken = false;
    quint64 m_generation = 0;
    QString m_destPath;
    RequestSlot m_slot;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<DiskWriter> m_writer;
};
