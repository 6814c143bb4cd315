#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QString>

#include <memory>

class QFile;
class QHttpMultiPart;
class QNetworkReply;

// Sends a picture the user pasted or chose, either as a multipart upload to the attachment
// service or as Base64 text to the mobile upload service, whose reply gives the chat input
// the stored picture's server path.
class UploadImage : public QObject
{
    Q_OBJECT
public:
    explicit UploadImage(QObject *parent = nullptr);
    ~UploadImage() override;

    // Multipart upload; the reply is only logged.
    Q_INVOKABLE void uploadImage(const QString &imagePaths);
    // Base64 upload; the result arrives as sigSendImagePaths (and sigUploadFile on failure).
    Q_INVOKABLE void uploadMoblieImage(const QString &imagePaths);

    // The mobile road's [[base name, extension, Base64]] entry for a file name: the extension
    // is the second "."-separated part.
    static QString mobileExtensionOf(const QString &fileName);
    static QString mobileBaseNameOf(const QString &fileName);

signals:
    void sigSendImagePaths(QString imagePaths, bool status);
    void sigUploadFile(bool status, QString errors);

public slots:
    void onUploadImage(QNetworkReply *reply);
    void onUploadMoblieImage(QNetworkReply *reply);

private:
    void mobileFailed();

    RequestSlot m_multipartSlot;
    QHttpMultiPart *m_multiPart = nullptr;
    std::unique_ptr<QFile> m_mobileFile;
    RequestSlot m_mobileSlot;
};
