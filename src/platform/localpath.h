#pragma once

#include <QString>

// File paths that arrive from the documents: Qt Quick hands file choices over as "file:///"
// URL texts, which become local paths here.
class LocalPath
{
public:
    // A "file:" URL text becomes its local path ("file:///C:/a" -> "C:/a" on Windows,
    // "file:///home/a" -> "/home/a" elsewhere); any other text is returned unchanged.
    static QString fromUserPath(const QString &path);
};
