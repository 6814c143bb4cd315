#pragma once

#include <QString>

// The one-line preview of a chat message for a desktop notification: pictures, files and
// emoticons as short markers, tags and entities gone, cut to a length a notice shows.
namespace NoticeText {

struct Markers
{
    QString picture = QStringLiteral("[图片]");
    QString file = QStringLiteral("[文件]");
    QString emoticon = QStringLiteral("[表情]");
};

constexpr int maxLength = 100;

QString preview(const QString &msg, const QString &msgType, const Markers &markers = Markers());

} // namespace NoticeText
