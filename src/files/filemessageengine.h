#pragma once

#include "messaging/fileattachment.h"

#include <QString>
#include <QtGlobal>

// What a chat-file upload and the message-file store need from the messaging engine: register
// the pending file message, hand the finished one over for sending, take a failed one away,
// and the signed-in user's id. The process uses the engine itself; tests may put a recorder in
// its place.
class FileMessageEngine
{
public:
    virtual ~FileMessageEngine() = default;

    // The engine in use (the messaging engine unless replaced).
    static FileMessageEngine *current();
    // Replaces the engine in use; nullptr restores the messaging engine. Not owned.
    static void replace(FileMessageEngine *engine);

    virtual QString userId() const = 0;
    // The id of the message most recently created by a send operation.
    virtual QString currentMessageId() const = 0;
    // send false registers the message (shown, not sent); true sends it. `file` is what the
    // upload has produced so far (no id while it runs).
    virtual QString sendPrivateInfor(const QString &ids, const QString &msgs,
                                     const QString &dateTimes, const QString &sendTypes,
                                     const QString &filePathas, int fileIndex, bool send,
                                     const FileAttachment &file) = 0;
    virtual QString sendGroupInfor(const QString &ids, const QString &msgs, const QString &userName,
                                   const QString &dateTimes, const QString &sendTypes,
                                   const QString &filePathas, int fileIndex, bool send,
                                   const FileAttachment &file) = 0;
    // Takes a message out of its conversation (the engine's sigRemoveMessage).
    virtual void removeMessage(const QString &ids, const QString &messageId) = 0;
};
