#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

class QNetworkReply;

// Small readers and writers for the directory's JSON: reply bodies, payloads handed to the
// documents, and request bodies built from search texts.
class DirectoryJson
{
public:
    // Whatever body a finished reply holds, also after a network error (a refusal may come
    // with an HTTP error status); nothing for a reply that was aborted.
    static QByteArray body(QNetworkReply *reply);

    // A `data` object in the indented form the documents parse; empty when it is no object.
    static QString indentedObjectText(const QJsonValue &data);

    // A search text as it goes into a request body: blanks, line feeds and backslashes removed.
    static QString searchText(const QString &text);
    // A JSON request body without any formatting whitespace. Escapes stay intact, so a quote in
    // a search text cannot break the document.
    static QByteArray compactBody(const QJsonObject &object);
};
