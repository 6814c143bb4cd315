#include "editorbody.h"

#include <QRegularExpression>

namespace {

QRegularExpression pattern(const char *expression)
{
    return QRegularExpression(QLatin1String(expression),
                              QRegularExpression::UseUnicodePropertiesOption);
}

} // namespace

QString EditorBody::of(const QString &html)
{
    QString body = html;
    int start = body.indexOf(QLatin1String("<body"));
    if (start >= 0) {
        start = body.indexOf(QLatin1Char('>'), start) + 1;
        const int end = body.lastIndexOf(QLatin1String("</body>"));
        body = body.mid(start, end < 0 ? -1 : end - start);
    }
    static const QRegularExpression fragment = pattern("<!--(Start|End)Fragment-->");
    // An empty paragraph holds a placeholder break of its own.
    static const QRegularExpression emptyParagraph =
        pattern("<p[^>]*-qt-paragraph-type:empty[^>]*><br \\/><\\/p>");
    static const QRegularExpression between = pattern("<\\/p>\\s*<p[^>]*>");
    static const QRegularExpression opening = pattern("<p[^>]*>");
    static const QRegularExpression span = pattern("<span[^>]*>");
    static const QRegularExpression edges = pattern("^(\\s|<br \\/>)+|(\\s|<br \\/>)+$");
    body.remove(fragment).remove(QLatin1Char('\n'));
    body.replace(emptyParagraph, QStringLiteral("<p></p>"));
    body.replace(between, QStringLiteral("<br />")).remove(opening).remove(QLatin1String("</p>"));
    body.remove(span).remove(QLatin1String("</span>"));
    return body.remove(edges);
}

bool EditorBody::hasServerPicture(const QString &body)
{
    static const QRegularExpression picture = pattern("<img src=\"(http|\\.\\.\\/)");
    return body.contains(picture);
}
