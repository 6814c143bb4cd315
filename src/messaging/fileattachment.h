#pragma once

#include <QString>
#include <QtGlobal>

// What a file message carries once its upload is done, handed along with the send call itself
// so nothing of one upload can stick to the next message.
struct FileAttachment
{
    QString id;        // the server's attachment id ("" while the upload runs)
    qint64 size = 0;   // bytes of the file
    QString localPath; // where the sender keeps it, remembered so it can be opened later
};
