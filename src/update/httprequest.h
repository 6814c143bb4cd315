#pragma once

#include "net/requestslot.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSaveFile>
#include <QString>
#include <QTimer>

#include <memory>

class QNetworkReply;
class QNetworkRequest;

// Asks the update feed for the release notes and downloads a client package into the update
// folder with a percentage progress and its bytes and speed. A download cut off midway resumes
// with a range request where the server allows it (from the start where it does not). This is
// the client's variant: a finished download is only reported. The updater's variant
// (UpdaterHttpRequest) also checks and installs the package.
class HttpRequest : public QObject
{
    Q_OBJECT
public:
    explicit HttpRequest(QObject *parent = nullptr);
    ~HttpRequest() override;

    Q_INVOKABLE void requestVersion();
    Q_INVOKABLE void downloadFile(const QString &url, const QString &names);

    // Size assumed for a package whose server sends no length.
    static constexpr qint64 assumedPackageBytes = 70772958;
    // The last bytes are followed by this pause before the download counts as finished.
    static constexpr int finishDelayMs = 50;
    // A download (or feed request) that receives nothing for this long is given up.
    static constexpr int stallLimitMs = 30000;
    // Range requests after a cut-off reply; each must have brought bytes.
    static constexpr int resumeLimit = 5;

    // The client's progress for `received` of `total` bytes; -1 when nothing is shown.
    static int clientProgress(qint64 received, qint64 total);
    // The file name under which a package is stored: the last segment of `names`; empty when
    // that is no usable file name.
    static QString packageFileName(const QString &names);
    // The name a package offered by the feed downloads under: the last path segment of `name`
    // (or of `url` when the feed names none) without its query, when it is letters, digits,
    // ".", "_" and "-" only; empty otherwise.
    Q_INVOKABLE QString downloadName(const QString &name, const QString &url) const;
    // GET request with the feed's headers and no authorisation.
    static QNetworkRequest feedRequest(const QString &url);

    // Where the last downloadFile call writes (empty before the first call).
    QString packagePath() const { return m_packagePath; }

signals:
    void sigRequestVersion(QString versionInfors);
    void sigDownloadProgress(int progress);
    // Bytes so far, of `total` (-1 while unknown), at the average speed since the start.
    void sigDownloadBytes(qlonglong received, qlonglong total, qlonglong bytesPerSecond);
    // The package could not be fetched (or installed); nothing was changed. `errors` is for the
    // user.
    void sigDownloadFailed(QString errors);

public slots:
    void onRequestVersion(QNetworkReply *reply);
    void onDownloadProgress(qlonglong bytesSent, qlonglong bytesTotal);
    void onReadyRead();
    void onTimeout();

protected:
    // The percentage shown for a progress report; -1 shows nothing.
    virtual int progressFor(qint64 received, qint64 total) const;
    // Called once the complete package is closed at `path`. The client only reports it.
    virtual void finishPackage(const QString &path);
    // Why a download must not even start (empty: it may); told to the user as is.
    virtual QString refusalBeforeDownload() const { return QString(); }
    // The most bytes the package may have; a download passing it ends at once. -1: no bound.
    virtual qint64 packageSizeLimit() const { return -1; }
    // Reports the end of a failed download or installation.
    void reportFailure(const QString &errors);
    // The package file cannot be created. The client reports it and goes on; the updater ends
    // (which restarts the client).
    virtual void packageFileUnavailable();

private:
    void onDownloadFinished();
    void onMetaDataChanged();
    void startReply();
    void abandonDownload();
    void completeDownload();
    void failDownload(const QString &reason, const QString &userText = QString());

    RequestSlot m_feedSlot;
    RequestSlot m_downloadSlot;
    // Beside the package's name until the download is complete, so a cut-off download never
    // stands under it (nor replaces an earlier package there).
    std::unique_ptr<QSaveFile> m_file;
    QString m_packageName;
    QString m_packagePath;
    QPointer<QNetworkReply> m_reply;
    QTimer *m_finishTimer = nullptr;
    QString m_url;
    QElapsedTimer m_clock;
    qint64 m_written = 0;
    qint64 m_replyStart = 0; // where the current reply's body begins in the package
    int m_resumes = 0;
    bool m_replyComplete = false; // the reply ended without error and with the whole body
    bool m_timerFired = false;
};
