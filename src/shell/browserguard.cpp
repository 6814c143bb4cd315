#include "browserguard.h"

#include "config/configfile.h"
#include "language/text.h"
#include "session/parameterinfor.h"

#include <QDebug>

namespace {

// Shorter texts than a token would turn up in unrelated addresses.
constexpr int kShortestToken = 6;

int defaultPort(const QString &scheme)
{
    return scheme == QLatin1String("https") ? 443 : scheme == QLatin1String("http") ? 80 : -1;
}

QUrl ownServer()
{
    const QString server = ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp"));
    return QUrl::fromUserInput(server);
}

} // namespace

bool BrowserGuard::carriesTokenAway(const QUrl &url, const QString &token, const QUrl &ownServer)
{
    if (token.size() < kShortestToken)
        return false;
    const QString scheme = url.scheme().toLower();
    const bool own =
        !ownServer.host().isEmpty() && scheme == ownServer.scheme().toLower() &&
        url.host().compare(ownServer.host(), Qt::CaseInsensitive) == 0 &&
        url.port(defaultPort(scheme)) == ownServer.port(defaultPort(ownServer.scheme().toLower()));
    if (own)
        return false;
    // Encoded or not, anywhere in the address: its query, its fragment, its path.
    return url.toString(QUrl::FullyEncoded).contains(token) ||
           url.toString(QUrl::FullyDecoded).contains(token);
}

QString BrowserGuard::refusalFor(const QUrl &url) const
{
    if (!carriesTokenAway(url, ParameterInfor::instance()->token(), ownServer()))
        return {};
    return tarnex::text(QStringLiteral("browser_token_refused"),
                        QStringLiteral("这个页面的地址带着您的登录凭据，却属于其他网站；"
                                       "为了安全，页面没有打开。"));
}
