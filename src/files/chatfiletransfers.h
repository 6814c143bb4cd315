#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

class ConversationModel;
class DownloadFile;

// The file transfers of one conversation view: downloads of received files into the download
// folder and uploads of chosen files, each with its progress on its message's row, and the
// saved copy of a file message looked up for the rows. A download that finishes is remembered
// in the message-file store; one that is stopped leaves no file and reports nothing more.
class ChatFileTransfers : public QObject
{
    Q_OBJECT
    // The rows the transfers show on: their conversation is the one files go to and come from.
    Q_PROPERTY(ConversationModel *model READ model WRITE setModel NOTIFY modelChanged)
    // Downloads under way by message id: {dest, conversation} each.
    Q_PROPERTY(QVariantMap downloads READ downloads NOTIFY downloadsChanged)
    // The sender's name an upload to a group carries.
    Q_PROPERTY(QString selfName MEMBER m_selfName NOTIFY selfNameChanged)
    // Said for an upload that failed without a reason.
    Q_PROPERTY(QString uploadFailedText MEMBER m_uploadFailedText NOTIFY uploadFailedTextChanged)
public:
    explicit ChatFileTransfers(QObject *parent = nullptr);
    ~ChatFileTransfers() override;

    ConversationModel *model() const { return m_model; }
    void setModel(ConversationModel *model);
    QVariantMap downloads() const;

    // Downloads the file of a row's message; false when the message names no attachment. A
    // row that is already on its way, or none, is left as it is.
    Q_INVOKABLE bool download(const QString &msgId);
    // Uploads a chosen file ("file:" URLs accepted); false when there is no such file.
    Q_INVOKABLE bool sendFile(const QString &path);
    // Stops the transfer of a row for the user, the row saying `cancelledText`: a download
    // goes back to its action, an upload fails and can be sent again. False when none runs.
    Q_INVOKABLE bool cancel(const QString &msgId, const QString &cancelledText);
    Q_INVOKABLE bool busy(const QString &msgId) const { return m_downloads.contains(msgId); }

    Q_INVOKABLE static bool fileExists(const QString &path);
    // The Downloads folder, or where the client keeps its own files when there is none (a
    // download into a missing folder cannot even start).
    Q_INVOKABLE static QString downloadFolder();
    // `name` in `folder`, numbered before its suffix when a file of that name is there already.
    Q_INVOKABLE static QString freeDestination(const QString &folder, const QString &name);
    Q_INVOKABLE static double progressOf(qint64 received, qint64 total);
    // The last part of a path with either kind of separator.
    Q_INVOKABLE static QString fileNameOf(const QString &path);

signals:
    void modelChanged();
    void downloadsChanged();
    void selfNameChanged();
    void uploadFailedTextChanged();
    // Something the user is told: a failed download or an upload without a row.
    void tip(const QString &text);

private:
    struct Download
    {
        DownloadFile *file = nullptr;
        QString dest;
        QString conversation;
    };
    struct Upload
    {
        QString key;
        QString localPath;
    };

    void start(const QString &msgId, const QString &source, const QString &dest);
    void downloadEnded(const QString &msgId, bool finished, const QString &errors);
    void uploadProgress(DownloadFile *uploader, const QString &key, qint64 sent, qint64 total);
    void uploadFailed(DownloadFile *uploader, const QString &errors);
    void setRow(const QString &msgId, const char *role, const QVariant &value);
    void drop(DownloadFile *file);

    QPointer<ConversationModel> m_model;
    QHash<QString, Download> m_downloads;
    QHash<DownloadFile *, Upload> m_uploads;
    QString m_selfName;
    QString m_uploadFailedText;
};
