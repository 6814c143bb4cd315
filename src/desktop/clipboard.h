#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include <memory>

class QImage;

// The chat input's clipboard: turns what the user pastes into text for the input (a picture is
// uploaded first and becomes a linked image), and runs the screenshot tool.
class ClipBoard : public QObject
{
    Q_OBJECT
public:
    explicit ClipBoard(QObject *parent = nullptr);
    ~ClipBoard() override;

    // The clipboard as chat input: a picture's HTML link, the HTML, the plain text, or empty.
    Q_INVOKABLE QString handlClipBoard();
    Q_INVOKABLE void startShear();

    // The folder pasted pictures are saved in before their upload.
    static QString pictureFolder();
    // Uploads a picture (waiting at most the data limit) and returns its HTML link, or empty.
    static QString uploadPicture(const QImage &image);

signals:
    void sigShearShot();

public slots:
    void onImageFinished(int exitCode, QProcess::ExitStatus exitStatus);

private:
    std::unique_ptr<QProcess> m_process;
};
