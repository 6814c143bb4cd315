#include "messagetextcodec.h"

#include "config/configfile.h"
#include "markup/messagemarkup.h"
#include "net/urlsegment.h"
#include "session/parameterinfor.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

namespace {

const QString kImageOpen = QStringLiteral(R"(<img src=")");
const QString kTokenKey = QStringLiteral("api_token=");
const QString kRelativeRoot = QStringLiteral("../../../");
const QString kEmojiFolder = QStringLiteral("/emojis/");

QString currentToken()
{
    return ParameterInfor::instance()->token();
}

QString currentServerAddress()
{
    const QString address =
        ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp"));
    // The settings store puts a scheme in front of every address it reads back, so an unset
    // address arrives as a bare scheme; it must give the host-less base, not "http:///".
    if (address == QLatin1String("http://") || address == QLatin1String("https://"))
        return {};
    return address;
}

// QString::replace(QRegularExpression, ...) reads "\1" in the replacement as a capture; the
// replacements here carry tokens and paths, which must go in exactly as they are.
QString replaceLiteral(const QString &text, const QRegularExpression &pattern,
                       const QString &replacement)
{
    QString result;
    int done = 0;
    QRegularExpressionMatchIterator matches = pattern.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        result += text.midRef(done, match.capturedStart() - done);
        result += replacement;
        done = match.capturedEnd();
    }
    result += text.midRef(done);
    return result;
}

// The URL whose query holds the text at `at`: back to the nearest character that no URL in an
// attribute holds (an unquoted attribute thus gives "src=...", which is no URL of ours).
QString urlBefore(const QString &text, int at)
{
    int start = at;
    while (start > 0) {
        const QChar c = text.at(start - 1);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('<') ||
            c == QLatin1Char('>') || c.isSpace())
            break;
        --start;
    }
    return text.mid(start, at - start);
}

// Rewrites the value of every "api_token=" match of `pattern` (its first capture) with what
// `value` gives for the URL and the old value.
template <typename ValueFor>
QString rewriteTokens(const QString &text, const QRegularExpression &pattern, ValueFor value)
{
    QString result;
    int done = 0;
    QRegularExpressionMatchIterator matches = pattern.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        result += text.midRef(done, match.capturedStart(1) - done);
        result += value(urlBefore(text, match.capturedStart()), match.captured(1));
        done = match.capturedEnd(1);
    }
    result += text.midRef(done);
    return result;
}

int defaultPort(const QString &scheme)
{
    return scheme == QLatin1String("https") ? 443 : scheme == QLatin1String("http") ? 80 : -1;
}

} // namespace

bool MessageTextCodec::isOwnServer(const QString &url)
{
    // The relative forms the server stores; anything else must name the origin itself.
    if (url.startsWith(QLatin1String("../")) ||
        (url.startsWith(QLatin1Char('/')) && !url.startsWith(QLatin1String("//"))))
        return true;
    const QUrl target(url, QUrl::StrictMode);
    const QUrl own(currentServerAddress());
    if (!target.isValid() || own.host().isEmpty())
        return false;
    return target.scheme() == own.scheme() && target.host() == own.host() &&
           target.port(defaultPort(target.scheme())) == own.port(defaultPort(own.scheme()));
}

MessageTextCodec::MessageTextCodec(const QString &applicationDirectory)
    : m_applicationDirectory(applicationDirectory)
{}

void MessageTextCodec::ensureServerBase()
{
    // Read each time: after a change of server the old base would turn the new server's URLs
    // into foreign ones, and foreign ones into the new server's.
    m_serverBase = currentServerAddress() + QStringLiteral("/tarnex10") + QLatin1Char('/');
}

QString MessageTextCodec::filterUseInformation(const QString &infors, int types) const
{
    if (types != 1)
        return {};

    static const QRegularExpression emojiStart(QStringLiteral(R"(<i (.*)class="emoji-(.*)emoji-)"));
    static const QRegularExpression emojiEnd(QStringLiteral(R"(" alt=(.*)>)"));
    const QString imageStart =
        QStringLiteral(R"(<img src="file:///)") + m_applicationDirectory + kEmojiFolder;
    const QString imageEnd = QStringLiteral(R"(.png" height="14" width="14" />)");

    // Each emoticon element ends its piece, so a piece holds at most one.
    QString result;
    const QStringList pieces = infors.split(QStringLiteral("</i>"));
    for (const QString &piece : pieces) {
        const QRegularExpressionMatch start = emojiStart.match(piece);
        if (!start.hasMatch()) {
            result += piece;
            continue;
        }
        // Only the emoticon's own tail is closed: an "alt" of an ordinary image in a piece
        // without an emoticon, or before it, must not swallow the text up to the next ">".
        result += piece.leftRef(start.capturedStart());
        result += imageStart;
        result += replaceLiteral(piece.mid(start.capturedEnd()), emojiEnd, imageEnd);
    }
    return result;
}

QString MessageTextCodec::swapNetworkInformation(const QString &inforsa) const
{
    // The editor writes images back width first; the height-first form is not ours to convert.
    const QString imageEnd = QStringLiteral(R"(.png" width="14" height="14" />)");
    const QString localImage = QStringLiteral(R"(<img src="file:///)");
    const QString webEmoji = QStringLiteral(
        R"(<i contenteditable="false"  class="emoji-picker emoji-%1" alt="%1" title=":%1:"></i>)");

    QString result;
    int done = 0;
    for (int end = inforsa.indexOf(imageEnd); end >= 0; end = inforsa.indexOf(imageEnd, done)) {
        const QString piece = inforsa.mid(done, end - done);
        done = end + imageEnd.size();
        const int image = piece.lastIndexOf(localImage);
        const int folder = piece.lastIndexOf(kEmojiFolder);
        const QString name = folder >= 0 ? piece.mid(folder + kEmojiFolder.size()) : QString();
        const bool plainName = !name.isEmpty() && !name.contains(QLatin1Char('"')) &&
                               !name.contains(QLatin1Char('<')) &&
                               !name.contains(QLatin1Char('>')) && !name.contains(QLatin1Char('/'));
        if (image < 0 || folder < image || !plainName) {
            // Some other image of that size: leave it as written.
            result += piece + imageEnd;
            continue;
        }
        result += piece.leftRef(image);
        result += webEmoji.arg(name);
    }
    result += inforsa.midRef(done);
    return result;
}

QString MessageTextCodec::replaceTokenToRegular(const QString &contents)
{
    ensureServerBase();
    QString text = contents;
    text.replace(m_serverBase, kRelativeRoot);
    if (text.contains(QStringLiteral(R"(<a href="../../../)"))) {
        text.replace(QStringLiteral("></a>"), QStringLiteral(">"));
        // The token is user data inside a pattern: escaped, so it matches only itself. The path
        // capture stops at a quote, so it cannot run on into the text that follows the link.
        const QRegularExpression imageLink(
            QStringLiteral(R"(<a href="../../../([^."]*)api_token=)") +
            QRegularExpression::escape(currentToken()) + QStringLiteral(R"(">)"));
        text.remove(imageLink);
    }
    // What is sent is read by others: no URL of it carries this user's token, nor a token of
    // this server at all.
    const QString token = currentToken();
    static const QRegularExpression anyToken(QStringLiteral(R"re(api_token=([^"&#<>\s]*))re"));
    return rewriteTokens(text, anyToken, [&token](const QString &url, const QString &old) {
        return (isOwnServer(url) || old == token) ? QString() : old;
    });
}

QString MessageTextCodec::replaceRegularToToken(const QString &contents)
{
    m_imageFlag = false;
    ensureServerBase();
    const QString token = currentToken();

    // A token never holds a quote, so its capture stops at the attribute's end; otherwise a
    // quote later in the message would take the text in between with it. Only URLs of this
    // server get the token: a colleague's image from elsewhere must not receive it.
    static const QRegularExpression staleToken(
        QStringLiteral(R"re(api_token=([^."]*)"(?= |/>|>))re"));
    QString text =
        rewriteTokens(contents, staleToken, [&token](const QString &url, const QString &old) {
            return isOwnServer(url) ? token : old;
        });

    text.replace(QStringLiteral(R"(src="/tarnex10/server)"),
                 QStringLiteral(R"(src=")") + m_serverBase + QStringLiteral("server"));
    text.replace(kRelativeRoot, m_serverBase);
    text.replace(QStringLiteral("../../"), m_serverBase);

    static const QRegularExpression spacedImage(QStringLiteral(R"(<img {2,7}src=")"));
    text = replaceLiteral(text, spacedImage, kImageOpen);

    // Every server image becomes a link to itself, so a click opens it full size.
    const QStringList pieces = text.split(kImageOpen);
    QString result = pieces.first();
    for (int i = 1; i < pieces.size(); ++i) {
        QString piece = pieces.at(i);
        const int tokenAt = piece.indexOf(kTokenKey);
        const int sourceEnd = piece.indexOf(QLatin1Char('"'));
        // Only a token inside the source makes a server image; one in the text after a local
        // image does not.
        if (tokenAt < 0 || (sourceEnd >= 0 && sourceEnd < tokenAt)) {
            result += kImageOpen + piece;
            continue;
        }
        const QString address = piece.left(tokenAt);
        if (!isOwnServer(address)) {
            result += kImageOpen + piece;
            continue;
        }
        const int tagEnd = piece.indexOf(QLatin1Char('>'));
        const bool hasWidth =
            piece.leftRef(tagEnd >= 0 ? tagEnd : piece.size()).contains(QLatin1String("width="));
        if (tagEnd >= 0)
            piece.insert(tagEnd + 1, QStringLiteral("</a>"));
        if (!hasWidth && sourceEnd >= 0 && (tagEnd < 0 || sourceEnd < tagEnd))
            piece.insert(sourceEnd + 1, QStringLiteral(R"( width="300")"));
        result += QStringLiteral(R"(<a href=")") + address + kTokenKey + token +
                  QStringLiteral(R"(">)") + kImageOpen + piece;
    }

    m_imageFlag = result.contains(kImageOpen);
    return result;
}

QString MessageTextCodec::displayMarkup(const QString &stored)
{
    const QString shown = replaceRegularToToken(filterUseInformation(stored, 1));
    return MessageMarkup::sanitise(
        shown, {m_applicationDirectory + QStringLiteral("/emojis"), QUrl(currentServerAddress())});
}

QString MessageTextCodec::getAllImagePaths(const QString &images) const
{
    return currentServerAddress() + QStringLiteral("/tarnex10") +
           QStringLiteral("/server/public/") + QStringLiteral("api/attachment/index/") +
           UrlSegment::encode(images) + QStringLiteral("?api_token=") + currentToken();
}
