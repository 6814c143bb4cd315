#pragma once

#include <QString>
#include <QUrl>

// What a message may show besides its text: the client's own emoticon pictures and the own
// server's attachment pictures. Empty members allow no picture of that kind.
struct MarkupPolicy
{
    // The folder the emoticon files are in ("<application>/emojis").
    QString emoticonFolder;
    // The signed-in server (scheme, host and port are compared).
    QUrl ownServer;
};

// Turns message markup written by anybody into rich text that is safe to show: text, line breaks,
// paragraphs, bold, italic and underline, links to http and https addresses and the pictures the
// policy allows stay; every other element, attribute, comment or declaration is shown as the
// characters the sender wrote, so nothing is lost and nothing is fetched or run. The result is
// only for display: what is stored keeps the sender's text.
namespace MessageMarkup {

QString sanitise(const QString &html, const MarkupPolicy &policy);

// The two readers sanitise() chooses between, for comparing them. The first reads only the
// markup the client's own editor writes, and returns false for anything else; for what it reads
// its result is that of the second, the full HTML5 parser's, to the byte.
bool sanitiseOwnMarkup(const QString &html, const MarkupPolicy &policy, QString *shown);
QString sanitiseParsed(const QString &html, const MarkupPolicy &policy);

// Whether `url` is a link a message may carry (http or https with a host).
bool isWebLink(const QUrl &url);

} // namespace MessageMarkup
