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
