#include "urlsegment.h"

#include <QUrl>

namespace UrlSegment {

QString encode(const QString &text)
{
    QByteArray encoded = QUrl::toPercentEncoding(text);
    // Dots stay as they are inside a name, but a segment of dots only is a climbing step.
    if (encoded == "." || encoded == "..")
        encoded.replace(".", "%2E");
    return QString::fromLatin1(encoded);
}

QString plainFileName(const QString &name)
{
    QString slashed = name;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString last = slashed.section(QLatin1Char('/'), -1);
    if (last.isEmpty() || last == QLatin1String(".") || last == QLatin1String("..") ||
        last.contains(QLatin1Char(':')))
        return QString();
    for (const QChar c : last) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QString();
    }
    return last;
}

} // namespace UrlSegment
