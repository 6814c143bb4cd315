#include "directoryjson.h"

#include <QJsonDocument>
#include <QNetworkReply>

#include <cmath>

QByteArray DirectoryJson::body(QNetworkReply *reply)
{
    if (!reply || !reply->isReadable())
        return QByteArray();
    return reply->readAll();
}

qint64 DirectoryJson::integer(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    // Beyond 2^53 a double no longer holds every integer; such ids are not ids.
    if (!(std::fabs(number) <= 9007199254740992.0) || number != std::floor(number))
        return 0;
    return qint64(number);
}

QString DirectoryJson::decimalText(const QJsonValue &value)
{
    return QString::number(integer(value));
}

QString DirectoryJson::indentedObjectText(const QJsonValue &data)
{
    if (!data.isObject())
        return QString();
    return QString::fromUtf8(QJsonDocument(data.toObject()).toJson(QJsonDocument::Indented));
}

QString DirectoryJson::searchText(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\n') && c != QLatin1Char('\\'))
            result += c;
    }
    return result;
}

QByteArray DirectoryJson::compactBody(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void DirectoryJson::appendJsonString(QString &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += QLatin1Char('"');
    const int size = text.size();
    const QChar *chars = text.constData();
    for (int i = 0; i < size; ++i) {
        const ushort u = chars[i].unicode();
        if (u >= 0x20 && u != '"' && u != '\\' && (u < 0xd800 || u > 0xdfff)) {
            out += chars[i];
            continue;
        }
        if (u >= 0xd800 && u <= 0xdbff && i + 1 < size && chars[i + 1].isLowSurrogate()) {
            out += chars[i];
            out += chars[++i];
            continue;
        }
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
    out += QLatin1Char('"');
}
