#include "clipboard.h"

#include "config/configfile.h"
#include "logging.h"
#include "net/serverrequest.h"
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
    if (mime->hasImage())
        return uploadPicture(qvariant_cast<QImage>(mime->imageData()));
    if (mime->hasHtml())
        return mime->html();
    if (mime->hasText())
        return mime->text();
    return QString();
}

QString ClipBoard::uploadPicture(const QImage &image)
{
    if (image.isNull())
        return QString();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString stamp = QString::number(now);
    const QString width = QString::number(std::min(image.width(), kMaxShownWidth));
    const QString path = pictureFolder() + stamp + QStringLiteral(".png");
    if (!image.save(path)) {
        qCDebug(lcDesktop) << "cannot save the pasted picture" << path;
        return QString();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray base64 = file.readAll().toBase64();
    file.close();

    const QJsonArray entry{stamp, double(now), QString::fromLatin1(base64)};
    const QString base = ServerRequest::currentBaseUrl();
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(manager.post(
        ServerRequest::make(base + QStringLiteral("api/mobile/file/upload"),
                            ServerRequest::Body::Form, true),
        ServerRequest::formBody(
            {{QStringLiteral("file_data"), jsonWithoutBlanks(QJsonArray{QJsonValue(entry)})}})));
    if (!ServerRequest::waitFor(reply.get()))
        return QString();

    QJsonObject object;
    if (!PeerJson::parseObject(reply->readAll(), &object) ||
        object.value(QLatin1String("status")).toInt() != 1)
        return QString();
    const QJsonArray data = object.value(QLatin1String("data")).toArray();
    const QString serverPath = data.isEmpty() ? QString() : data.last().toString();
    const QString link = base + QStringLiteral("api/attachment/index/") +
                         UrlSegment::encode(serverPath) + QStringLiteral("?api_token=") +
                         ParameterInfor::instance()->token();
    return QStringLiteral("<a href=\"") + link + QStringLiteral("\"><img src=\"") + link +
           QStringLiteral("\" width=\"") + width + QStringLiteral("\"></a><br>");
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
