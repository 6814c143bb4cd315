#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include <memory>

class QImage;
class QNetworkAccessManager;
class QNetworkReply;

// The chat input's clipboard: turns what the user pastes into text for the input (a picture is
// uploaded in the background and arrives as a linked image), and runs the screenshot tool.
class ClipBoard : public QObject
{
    Q_OBJECT
public:
    explicit ClipBoard(QObject *parent = nullptr);
    ~ClipBoard() override;

    // The clipboard as chat input: the HTML, the plain text, or empty. A picture gives the empty
    // text and starts its upload; sigClipBoardPicture reports the outcome.
    Q_INVOKABLE QString handlClipBoard();
    Q_INVOKABLE void startShear();

    // The folder pasted pictures are saved in before their upload.
    static QString pictureFolder();
    // Saves and starts uploading a picture; every call ends in one sigClipBoardPicture.
    void uploadPicture(const QImage &image);

signals:
    void sigShearShot();
    // A pasted picture's upload has ended: its HTML link for the input, or empty when it failed.
    void sigClipBoardPicture(const QString &contents);

public slots:
    void onImageFinished(int exitCode, QProcess::ExitStatus exitStatus);

private:
    void onPictureReply(QNetworkReply *reply, const QString &base, const QString &width);

    std::unique_ptr<QProcess> m_process;
    QNetworkAccessManager *m_manager = nullptr;
};
