#include "directoryjson.h"

#include <QJsonDocument>
#include <QNetworkReply>

QByteArray DirectoryJson::body(QNetworkReply *reply)
{
    if (!reply || !reply->isReadable())
        return QByteArray();
    return reply->readAll();
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
