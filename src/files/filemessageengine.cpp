#include "filemessageengine.h"

#include "files/messagefilestore.h"
#include "messaging/sockethandl.h"

namespace {

// The messaging engine itself. A private file message it sends is remembered in the
// message-file store, so the sender can open the file later.
class MessagingEngine : public FileMessageEngine
{
public:
    MessagingEngine() : m_engine(SocketHandl::instance())
    {
        QObject::connect(m_engine, &SocketHandl::sigRecordMessageFile, m_engine,
                         [](const QString &ids, const QString &msgIds, const QString &path) {
                             MessageFilestore::instance()->insertNewData(ids, msgIds, path);
                         });
    }

    QString userId() const override { return m_engine->userId(); }
    QString currentMessageId() const override { return m_engine->currentMessageId(); }
    QString sendPrivateInfor(const QString &ids, const QString &msgs, const QString &dateTimes,
                             const QString &sendTypes, const QString &filePathas, int fileIndex,
                             bool send, const FileAttachment &file) override
    {
        return m_engine->sendPrivateInfor(ids, msgs, dateTimes, sendTypes, filePathas, fileIndex,
                                          send, file);
    }
    QString sendGroupInfor(const QString &ids, const QString &msgs, const QString &userName,
                           const QString &dateTimes, const QString &sendTypes,
                           const QString &filePathas, int fileIndex, bool send,
                           const FileAttachment &file) override
    {
        return m_engine->sendGroupInfor(ids, msgs, userName, dateTimes, sendTypes, filePathas,
                                        fileIndex, send, file);
    }
    void removeMessage(const QString &ids, const QString &messageId) override
    {
        emit m_engine->sigRemoveMessage(ids, messageId);
    }

private:
    SocketHandl *m_engine;
};

FileMessageEngine *s_replacement = nullptr;

} // namespace

FileMessageEngine *FileMessageEngine::current()
{
    if (s_replacement)
        return s_replacement;
    static MessagingEngine engine;
    return &engine;
}

void FileMessageEngine::replace(FileMessageEngine *engine)
{
    s_replacement = engine;
}
