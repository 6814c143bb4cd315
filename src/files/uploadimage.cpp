#include "uploadimage.h"

#include "files/downloadfile.h"
#include "language/text.h"
#include "logging.h"
#include "net/serverrequest.h"
#include "platform/localpath.h"
#include "session/parameterinfor.h"
#include "json/peerjson.h"

#include <QFile>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

namespace {

QNetworkRequest withStallLimit(QNetworkRequest request)
{
    request.setTransferTimeout(ServerRequest::dataWaitMs);
    return request;
}

} // namespace

UploadImage::UploadImage(QObject *parent) : QObject(parent) {}

UploadImage::~UploadImage()
{
    if (QNetworkAccessManager *manager = m_mobileSlot.current())
        manager->disconnect(this);
    // The manager (and with it a reply still reading the body) goes before the body.
    delete m_multipartSlot.current();
    delete m_multiPart;
}

QString UploadImage::mobileExtensionOf(const QString &fileName)
{
    const QStringList parts = fileName.split(QLatin1Char('.'));
    return parts.size() >= 2 ? parts.at(1) : QString();
}

QString UploadImage::mobileBaseNameOf(const QString &fileName)
{
    const QString extension = mobileExtensionOf(fileName);
    QString base = fileName;
    if (!extension.isEmpty())
        base.remove(QLatin1Char('.') + extension);
    return base;
}

void UploadImage::uploadImage(const QString &imagePaths)
{
    QNetworkAccessManager *manager = m_multipartSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &UploadImage::onUploadImage);
    // Deleted after the previous manager, whose deletion was posted first: a reply still
    // reading the body is gone before the body is.
    if (m_multiPart)
        m_multiPart->deleteLater();
    m_multiPart = nullptr;

    auto file = std::make_unique<QFile>(LocalPath::fromUserPath(imagePaths));
    if (!file->open(QIODevice::ReadOnly)) {
        qCWarning(lcFiles) << "cannot open the picture" << file->fileName();
        return;
    }
    const QString name = DownloadFile::fileNameOf(file->fileName());

    m_multiPart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart text;
    text.setRawHeader("Content-Disposition", "form-data; name=\"text\"");
    text.setBody(QJsonDocument(QJsonObject{{QStringLiteral("name"), name},
                                           {QStringLiteral("chunk"), QStringLiteral("0")},
                                           {QStringLiteral("chunks"), QStringLiteral("1")}})
                     .toJson(QJsonDocument::Indented));
    QHttpPart data;
    // Raw, so a name outside Latin-1 arrives as UTF-8.
    data.setRawHeader("Content-Disposition",
                      "form-data; name=\"Filedata\"; Filedata=\"" + name.toUtf8() + '"');
    data.setBodyDevice(file.get());
    file.release()->setParent(m_multiPart);
    m_multiPart->append(text);
    m_multiPart->append(data);

    QNetworkRequest request(QUrl(ServerRequest::currentBaseUrl() +
                                 QStringLiteral("api/attachment/upload?api_token=") +
                                 ParameterInfor::instance()->token()));
    ServerRequest::applyTls(request);
    manager->post(withStallLimit(request), m_multiPart);
}

void UploadImage::onUploadImage(QNetworkReply *reply)
{
    reply->deleteLater();
    QJsonObject answer;
    PeerJson::parseObject(reply->readAll(), &answer);
    qCDebug(lcFiles) << "picture upload answered" << reply->error() << answer.keys();
}

void UploadImage::uploadMoblieImage(const QString &imagePaths)
{
    m_mobileFile = std::make_unique<QFile>(LocalPath::fromUserPath(imagePaths));
    if (!m_mobileFile->open(QIODevice::ReadOnly)) {
        qCWarning(lcFiles) << "cannot open the picture" << m_mobileFile->fileName();
        emit sigUploadFile(
            false, tarnex::text(QStringLiteral("image_open_fail"), QStringLiteral("图片打开失败")));
        return;
    }
    const QString name = DownloadFile::fileNameOf(m_mobileFile->fileName());
    const QByteArray base64 = m_mobileFile->readAll().toBase64();
    m_mobileFile->close();

    const QJsonArray entry{mobileBaseNameOf(name), mobileExtensionOf(name),
                           QString::fromLatin1(base64)};
    QString json = QString::fromUtf8(QJsonDocument(QJsonArray{QJsonValue(entry)}).toJson());
    json.remove(QLatin1Char('\n'));
    json.remove(QLatin1Char('\t'));
    json.remove(QLatin1Char(' '));

    QNetworkAccessManager *manager = m_mobileSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &UploadImage::onUploadMoblieImage);
    // Percent-encoded: a Base64 "+" would otherwise reach the server as a space.
    manager->post(withStallLimit(ServerRequest::make(ServerRequest::currentBaseUrl() +
                                                         QStringLiteral("api/mobile/file/upload"),
                                                     ServerRequest::Body::Form, true)),
                  ServerRequest::formBody({{QStringLiteral("file_data"), json}}));
}

void UploadImage::mobileFailed()
{
    emit sigSendImagePaths(QString(), false);
    emit sigUploadFile(
        false, tarnex::text(QStringLiteral("image_upload_fail"), QStringLiteral("图片上传失败")));
}

void UploadImage::onUploadMoblieImage(QNetworkReply *reply)
{
    if (!reply) {
        mobileFailed();
        return;
    }
    reply->deleteLater();
    // A body that is no JSON at all (a dropped connection, an error page) fails like a refusal,
    // so the chat input never waits for a picture that is not coming.
    QJsonObject object;
    if (!PeerJson::parseObject(reply->readAll(), &object) ||
        object.value(QLatin1String("status")).toInt() != 1) {
        mobileFailed();
        return;
    }
    const QJsonArray data = object.value(QLatin1String("data")).toArray();
    emit sigSendImagePaths(data.isEmpty() ? QString() : data.last().toString(), true);
}
