#include "storagetext.h"

#include "text.h"

namespace tarnex {

QString writeFailureText(LocalStore store, bool diskFull)
{
    switch (store) {
    case LocalStore::Settings:
        return diskFull ? text(QStringLiteral("settings_disk_full"),
                               QStringLiteral("磁盘已满，设置未能保存，有空间后将再次保存"))
                        : text(QStringLiteral("settings_write_failed"),
                               QStringLiteral("设置未能保存到本机"));
    case LocalStore::Outbox:
        return diskFull ? text(QStringLiteral("outbox_disk_full"),
                               QStringLiteral("磁盘已满，待发送的消息未能保存到本机，"
                                              "有空间后将自动保存"))
                        : text(QStringLiteral("outbox_write_failed"),
                               QStringLiteral("待发送的消息未能保存到本机，稍后将自动重试"));
    case LocalStore::History:
        return diskFull ? text(QStringLiteral("history_disk_full"),
                               QStringLiteral("磁盘已满，新的聊天记录暂未保存到本机，"
                                              "有空间后将自动保存"))
                        : text(QStringLiteral("history_write_failed"),
                               QStringLiteral("新的聊天记录暂未能保存到本机，稍后将自动重试"));
    }
    return QString();
}

} // namespace tarnex
