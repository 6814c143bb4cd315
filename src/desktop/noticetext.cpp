#include "noticetext.h"

#include "markup/messagemarkup.h"

#include <QRegularExpression>
#include <QTextDocumentFragment>

QString NoticeText::preview(const QString &msg, const QString &msgType, const Markers &markers)
{
    if (msgType == QLatin1String("img"))
        return markers.picture;
    if (msgType == QLatin1String("file"))
        return markers.file;
    static const QRegularExpression webEmoticon(
        QStringLiteral("<i[^>]*class=\"emoji-[^>]*>\\s*</i>"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression localEmoticon(QStringLiteral("<img[^>]*/emojis/[^>]*>"),
                                                  QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression image(QStringLiteral("<img[^>]*>"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression lineBreak(QStringLiteral("<br\\s*/?>|</p>"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QString text = msg;
    text.replace(webEmoticon, markers.emoticon);
    text.replace(localEmoticon, markers.emoticon);
    text.replace(image, markers.picture);
    text.replace(lineBreak, QStringLiteral(" "));
    // Markup the client does not write reads as the characters sent; the fragment reader then
    // drops the remaining tags and decodes every entity.
    text = QTextDocumentFragment::fromHtml(MessageMarkup::sanitise(text, {})).toPlainText();
    text.replace(QChar::Nbsp, QLatin1Char(' '));
    text = text.replace(space, QStringLiteral(" ")).trimmed();
    if (text.size() <= maxLength)
        return text;
    int cut = maxLength;
    // Never half a character outside the basic plane.
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QStringLiteral("…");
}
