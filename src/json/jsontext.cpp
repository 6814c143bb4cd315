#include "jsontext.h"

void JsonText::appendString(QString &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += QLatin1Char('"');
    const int size = text.size();
    const QChar *chars = text.constData();
    // Plain characters go over in runs: one append per run, not one per character.
    int run = 0;
    const auto flush = [&](int end) {
        if (end > run)
            out.append(chars + run, end - run);
    };
    for (int i = 0; i < size; ++i) {
        const ushort u = chars[i].unicode();
        if (u >= 0x20 && u != '"' && u != '\\' && (u < 0xd800 || u > 0xdfff))
            continue;
        if (u >= 0xd800 && u <= 0xdbff && i + 1 < size && chars[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        flush(i);
        run = i + 1;
        if (u >= 0xd800 && u <= 0xdfff) {
            out += QLatin1String("\\u");
            out += QLatin1Char(hex[u >> 12]);
            out += QLatin1Char(hex[(u >> 8) & 0xf]);
            out += QLatin1Char(hex[(u >> 4) & 0xf]);
            out += QLatin1Char(hex[u & 0xf]);
            continue;
        }
        out += QLatin1Char('\\');
        switch (u) {
        case '"':
            out += QLatin1Char('"');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        case '\b':
            out += QLatin1Char('b');
            break;
        case '\f':
            out += QLatin1Char('f');
            break;
        case '\n':
            out += QLatin1Char('n');
            break;
        case '\r':
            out += QLatin1Char('r');
            break;
        case '\t':
            out += QLatin1Char('t');
            break;
        default:
            out += QLatin1String("u00");
            out += QLatin1Char(hex[u >> 4]);
            out += QLatin1Char(hex[u & 0xf]);
        }
    }
    flush(size);
    out += QLatin1Char('"');
}
