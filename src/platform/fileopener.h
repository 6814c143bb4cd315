#pragma once

#include <QString>

// Opens a received file with the program the desktop associates with it: "explorer" on
// Windows, the desktop services (xdg-open and friends) elsewhere.
class FileOpener
{
public:
    // True when the request was handed to the desktop; what the desktop does is not known.
    static bool open(const QString &localPath);
};
