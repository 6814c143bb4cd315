#include "safefilename.h"

#include <QStringList>

namespace SafeFileName {

namespace {

// Most systems take 255 bytes per name; this leaves room for " (n)" and multi-byte characters.
constexpr int maxLength = 180;
const QString neutral = QStringLiteral("file");

bool unsafe(QChar c)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    const QChar::Category category = c.category();
    return forbidden.contains(c) || category == QChar::Other_Control ||
           category == QChar::Other_Format || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

bool isBlank(QChar c)
{
    return c.isSpace() || c == QLatin1Char('.');
}

// The device names Windows keeps, whatever follows the first dot.
bool reserved(const QString &name)
{
    const int dot = name.indexOf(QLatin1Char('.'));
    const QString stem = (dot < 0 ? name : name.left(dot)).trimmed().toUpper();
    static const QStringList devices = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                        QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                        QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (devices.contains(stem))
        return true;
    if (stem.size() != 4 ||
        !(stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))))
        return false;
    const QChar last = stem.at(3);
    // Windows counts the superscript digits as well.
    return (last >= QLatin1Char('1') && last <= QLatin1Char('9')) || last == QChar(0x00b9) ||
           last == QChar(0x00b2) || last == QChar(0x00b3);
}

// Shortens the part before the extension, never between the halves of a surrogate pair.
QString shortened(const QString &name)
{
    if (name.size() <= maxLength)
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 && name.size() - dot <= 16 ? name.mid(dot) : QString();
    int keep = maxLength - extension.size();
    if (name.at(keep - 1).isHighSurrogate())
        --keep;
    return name.left(keep) + extension;
}

} // namespace

QString of(const QString &received)
{
    QString name;
    name.reserve(received.size());
    for (int i = 0; i < received.size(); ++i) {
        const QChar c = received.at(i);
        // A lone half of a surrogate pair is no character at all.
        const bool pair =
            c.isHighSurrogate() && i + 1 < received.size() && received.at(i + 1).isLowSurrogate();
        if (pair) {
            name += c;
            name += received.at(++i);
        } else if (c.isSurrogate() || unsafe(c)) {
            name += QLatin1Char('_');
        } else {
            name += c;
        }
    }
    // Windows drops trailing dots and blanks, so "a.exe." would be another file than asked for.
    while (!name.isEmpty() && isBlank(name.back()))
        name.chop(1);
    while (!name.isEmpty() && name.front().isSpace())
        name.remove(0, 1);
    // Nothing left but an extension (".pdf"): it would be hidden, or "." and "..".
    if (name.isEmpty() || name.front() == QLatin1Char('.'))
        name.prepend(neutral);
    if (reserved(name))
        name.prepend(QLatin1Char('_'));
    return shortened(name);
}

} // namespace SafeFileName
