#pragma once

#include <QObject>

// Kept for the completion view, which calls it before the restart: unpacks a stray
// "update.zip" of the update folder into its "atestzip" folder. The package itself is
// installed by UpdaterHttpRequest; nothing outside the update folder is touched here.
class DecompressionFile : public QObject
{
    Q_OBJECT
public:
    explicit DecompressionFile(QObject *parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE void decompressionZipfile();
};
