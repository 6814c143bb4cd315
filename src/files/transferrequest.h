#pragma once

#include "language/text.h"
#include "net/serverrequest.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>

// What the chat-file download and upload share: the limit on a silent server, the status of a
// reply and the texts a failure shows.
namespace TransferRequest {

// A request that ends when the server stays silent for the data limit, however large the file.
inline QNetworkRequest withStallLimit(QNetworkRequest request)
{
    request.setTransferTimeout(ServerRequest::dataWaitMs);
    return request;
}

inline int httpStatus(QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

inline QString failUploadText()
{
    return tarnex::text(QStringLiteral("fail_upload_file"), QStringLiteral("上传文件失败"));
}

inline QString failOpenText()
{
    return tarnex::text(QStringLiteral("fail_open_file"), QStringLiteral("打开文件失败"));
}

// Last "/"-separated part of a path, "\" counting as "/".
inline QString fileNameOf(const QString &path)
{
    QString slashed = path;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return slashed.split(QLatin1Char('/')).last();
}

// The part after the last ".", when the name has one; else empty.
inline QString extensionOf(const QString &fileName)
{
    const QStringList parts = fileName.split(QLatin1Char('.'));
    return parts.size() >= 2 ? parts.last() : QString();
}

} // namespace TransferRequest
