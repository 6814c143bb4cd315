#include "clipboard.h"

#include "config/configfile.h"
#include "logging.h"
#include "net/serverrequest.h"
#include "net/servertrust.h"
#include "net/urlsegment.h"
#include "platform/screenshottool.h"
#include "session/parameterinfor.h"
#include "json/peerjson.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>

namespace {

// Widest a pasted picture is shown in the chat.
constexpr int kMaxShownWidth = 300;

QString jsonWithoutBlanks(const QJsonArray &array)
{
    QString text = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
    text.remove(QLatin1Char('\n'));
    text.remove(QLatin1Char('\t'));
    text.remove(QLatin1Char(' '));
    return text;
}

} // namespace

ClipBoard::ClipBoard(QObject *parent) : QObject(parent), m_process(std::make_unique<QProcess>())
{
    // Pictures only live here until they are uploaded; each new chat input starts clean.
    QDir folder(pictureFolder());
    if (folder.exists()) {
        const QStringList files = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &name : files)
            folder.remove(name);
    } else {
        QDir().mkpath(folder.path());
    }
    connect(m_process.get(), QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &ClipBoard::onImageFinished);
}

ClipBoard::~ClipBoard()
{
    m_process->disconnect(this);
}

QString ClipBoard::pictureFolder()
{
    return ConfigFile::instance()->imageFolderPath();
}

QString ClipBoard::handlClipBoard()
{
    const QMimeData *mime = QApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!mime)
        return QString();
    if (mime->hasImage()) {
        uploadPicture(qvariant_cast<QImage>(mime->imageData()));
        return QString();
    }
    if (mime->hasHtml())
        return mime->html();
    if (mime->hasText())
        return mime->text();
    return QString();
}

void ClipBoard::uploadPicture(const QImage &image)
{
    if (image.isNull()) {
        emit sigClipBoardPicture(QString());
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString stamp = QString::number(now);
    const QString width = QString::number(std::min(image.width(), kMaxShownWidth));
    const QString path = pictureFolder() + stamp + QStringLiteral(".png");
    QFile file(path);
    if (!image.save(path) || !file.open(QIODevice::ReadOnly)) {
        qCDebug(lcDesktop) << "cannot save the pasted picture" << path;
        emit sigClipBoardPicture(QString());
        return;
    }
    const QByteArray base64 = file.readAll().toBase64();
    file.close();

    const QJsonArray entry{stamp, double(now), QString::fromLatin1(base64)};
    const QString base = ServerRequest::currentBaseUrl();
    QNetworkRequest request = ServerRequest::make(base + QStringLiteral("api/mobile/file/upload"),
                                                  ServerRequest::Body::Form, true);
    // In the background: a silent server only delays the picture, up to the data limit.
    request.setTransferTimeout(ServerRequest::dataWaitMs);
    if (!m_manager) {
        m_manager = new QNetworkAccessManager(this);
        ServerTrust::watch(m_manager);
    }
    QNetworkReply *reply = m_manager->post(
        request, ServerRequest::formBody({{QStringLiteral("file_data"),
                                           jsonWithoutBlanks(QJsonArray{QJsonValue(entry)})}}));
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, base, width] { onPictureReply(reply, base, width); });
}

void ClipBoard::onPictureReply(QNetworkReply *reply, const QString &base, const QString &width)
{
    reply->deleteLater();
    QJsonObject object;
    if (reply->error() != QNetworkReply::NoError ||
        !PeerJson::parseObject(reply->readAll(), &object) ||
        object.value(QLatin1String("status")).toInt() != 1) {
        qCDebug(lcDesktop) << "pasted picture not uploaded:" << reply->error();
        emit sigClipBoardPicture(QString());
        return;
    }
    const QJsonArray data = object.value(QLatin1String("data")).toArray();
    const QString serverPath = data.isEmpty() ? QString() : data.last().toString();
    const QString link = base + QStringLiteral("api/attachment/index/") +
                         UrlSegment::encode(serverPath) + QStringLiteral("?api_token=") +
                         ParameterInfor::instance()->token();
    emit sigClipBoardPicture(QStringLiteral("<a href=\"") + link +
                             QStringLiteral("\"><img src=\"") + link +
                             QStringLiteral("\" width=\"") + width + QStringLiteral("\"></a><br>"));
}

void ClipBoard::startShear()
{
    if (m_process->state() != QProcess::NotRunning) {
        qCDebug(lcDesktop) << "the screenshot tool is already running";
        return;
    }
    m_process->start(ScreenshotTool::programPath(), QStringList(), QIODevice::ReadWrite);
}

void ClipBoard::onImageFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    Q_UNUSED(exitStatus)
    if (exitCode == ScreenshotTool::pictureTaken ||
        exitCode == ScreenshotTool::pictureTakenAlternative)
        emit sigShearShot();
}
