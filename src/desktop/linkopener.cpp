#include "linkopener.h"

#include "config/configfile.h"
#include "language/text.h"
#include "platform/fileopener.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace {

int defaultPort(const QString &scheme)
{
    return scheme == QLatin1String("https") ? 443 : scheme == QLatin1String("http") ? 80 : -1;
}

bool isWeb(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QUrl ownServer()
{
    return QUrl(ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp")));
}

} // namespace

LinkOpener::Verdict LinkOpener::verdict(const QUrl &url, const QUrl &ownServer)
{
    if (url.scheme() == QLatin1String("mailto") && url.isValid() && !url.path().isEmpty())
        return Open;
    if (!isWeb(url))
        return Refuse;
    const bool own =
        !ownServer.host().isEmpty() && url.scheme() == ownServer.scheme() &&
        url.host() == ownServer.host() &&
        url.port(defaultPort(url.scheme())) == ownServer.port(defaultPort(ownServer.scheme()));
    return own ? Open : Ask;
}

QString LinkOpener::refusalText(const QUrl &url)
{
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        return tarnex::text(QStringLiteral("link_invalid"),
                            QStringLiteral("这个链接的地址不完整，无法打开。"));
    return tarnex::text(QStringLiteral("link_scheme_refused"),
                        QStringLiteral("为了安全，只能打开网页（http、https）和邮件（mailto）链接；"
                                       "这个链接会打开本机的文件或程序，没有打开。"));
}

void LinkOpener::open(const QString &link)
{
    const QUrl url(link.trimmed(), QUrl::StrictMode);
    switch (verdict(url, ownServer())) {
    case Open:
        hand(url);
        break;
    case Ask:
        emit confirmationNeeded(url.toString(QUrl::FullyEncoded));
        break;
    case Refuse:
        qInfo() << "link not opened, scheme" << url.scheme();
        emit refused(link, refusalText(url));
        break;
    }
}

void LinkOpener::confirm(const QString &link)
{
    // Only what could have been asked about: a confirmation never opens another scheme.
    const QUrl url(link, QUrl::StrictMode);
    if (verdict(url, ownServer()) == Refuse) {
        emit refused(link, refusalText(url));
        return;
    }
    hand(url);
}

bool LinkOpener::openFolder(const QString &path)
{
    const QString local = path.startsWith(QLatin1String("file:"))
                              ? QUrl(path, QUrl::StrictMode).toLocalFile()
                              : QDir::fromNativeSeparators(path);
    if (local.isEmpty() || !QFileInfo(local).isDir())
        return false;
    return FileOpener::open(QDir::cleanPath(local));
}

void LinkOpener::hand(const QUrl &url)
{
    QDesktopServices::openUrl(url);
    emit opened(url.toString(QUrl::FullyEncoded));
}
