#pragma once

#include "messagetextcodec.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

class SocketHandl;

// What the documents use for messaging: forwards every request to the process's engine
// (SocketHandl) and re-emits its signals under the same names. Its only state is the text codec
// of the chat views.
class SocketState : public QObject
{
    Q_OBJECT
    // Why the outbox cannot be written, for the window (empty while all is well).
    Q_PROPERTY(QString outboxProblem READ outboxProblem NOTIFY sigOutboxProblem)
public:
    explicit SocketState(QObject *parent = nullptr);

    Q_INVOKABLE void connectServer();
    QString outboxProblem() const;
    // "Retry now": a dropped link is tried again at once.
    Q_INVOKABLE void retryNow();

    Q_INVOKABLE QString sendPrivateInfor(const QString &ids, const QString &msgs,
                                         const QString &dateTimes,
                                         const QString &sendTypes = QStringLiteral("text"),
                                         const QString &filePathas = QString(), int fileIndex = 0);
    Q_INVOKABLE QString sendGroupInfor(const QString &ids, const QString &msgs,
                                       const QString &userName, const QString &dateTimes,
                                       const QString &sendTypes = QStringLiteral("text"),
                                       const QString &filePathas = QString(), int fileIndex = 0);
    Q_INVOKABLE void setPrivateAlreadyRead(const QString &ids, const QString &msgIds = QString());
    Q_INVOKABLE void setGroupAlreadyRead(const QString &groupIds,
                                         const QString &msgIds = QString());
    // Delivery states of the user's own messages: sendStatus "1" pending, "2" sent, "3" read,
    // "4" failed. A failed message is sent again with its own id; false when `msgIds` names no
    // failed message of conversation `ids` (types "2" private, "3" group).
    Q_INVOKABLE bool retrySendMessage(const QString &ids, const QString &types,
                                      const QString &msgIds);
    Q_INVOKABLE QString getMessageStatus(const QString &ids, const QString &types,
                                         const QString &msgIds) const;

    Q_INVOKABLE void getRecord(const QString &ids, const QString &types, int limits = 10);
    Q_INVOKABLE void getUserHistoryLength(const QString &userIds, int limits = 10,
                                          const QString &times = QString(),
                                          const QString &chatTypes = QStringLiteral("1"),
                                          const QString &findConts = QString(), int findTypes = 1);
    Q_INVOKABLE void getLastrecord(const QString &contents);
    // The conversation list kept in the local history, read at sign-in: one map a conversation
    // (ids, types "2"/"3", names, content, msgType, stamp ms, unread, creator, senderName).
    Q_INVOKABLE QVariantList keptConversations() const;
    Q_INVOKABLE void keepConversationName(const QString &ids, const QString &types,
                                          const QString &name);
    Q_INVOKABLE void getOutlineRecordLength();
    Q_INVOKABLE void getLastRecordLength();
    Q_INVOKABLE QStringList getPrivateIdFromInfors(const QString &ids) const;
    Q_INVOKABLE QStringList getGroupIdFromInfors(const QString &ids) const;
    Q_INVOKABLE QStringList getHistoryPrivateIdFromInfors(const QString &ids) const;
    Q_INVOKABLE QStringList getHistoryGroupIdFromInfors(const QString &ids) const;

    Q_INVOKABLE void getGroupInfors();
    Q_INVOKABLE QStringList getGroupIds() const;
    Q_INVOKABLE QString getGroupInforFromId(const QString &ids, const QString &infors) const;
    Q_INVOKABLE QStringList getGroupMemberFromId(const QString &ids) const;
    Q_INVOKABLE void creatNewGroup(const QString &groupList, const QString &groupName);
    Q_INVOKABLE void groupAddNewMember(const QString &groupIds, const QString &groupNames,
                                       const QString &groupList, const QString &addList);
    Q_INVOKABLE void groupDeleteNewMember(const QString &groupIds, const QString &groupNames,
                                          const QString &groupList, const QString &deleteList);
    Q_INVOKABLE void exitGroup(const QString &groupIds);
    Q_INVOKABLE void deleteGroup(const QString &groupIds);

    // Members for the group editor, from the login parameters' user cache.
    Q_INVOKABLE void insertGroupNumbers(const QString &numbers);
    Q_INVOKABLE void clearGroupNumbers();
    Q_INVOKABLE void requestGroupNumbers();
    Q_INVOKABLE QString getUserInfor(const QString &ids, const QString &names);
    Q_INVOKABLE bool judgeUserInfor(const QString &ids);
    // A person's card: userName (the id when the name is not known), and for a person the
    // cache holds (known) deptName, roleName, email and phone; empty texts otherwise. An
    // uncached person is fetched behind it: sigUserInforFetched says when to read it again.
    Q_INVOKABLE QVariantMap getUserCard(const QString &ids);
    Q_INVOKABLE QString getSelfUesrId() const;

    // Chat body transforms (MessageTextCodec).
    Q_INVOKABLE QString filterUseInformation(const QString &infors, int types = 1) const;
    Q_INVOKABLE QString swapNetworkInformation(const QString &inforsa) const;
    Q_INVOKABLE QString replaceTokenToRegular(const QString &contents);
    Q_INVOKABLE QString replaceRegularToToken(const QString &contents);
    Q_INVOKABLE QString getAllImagePaths(const QString &images) const;
    Q_INVOKABLE bool isContainImage() const;
    // A stored body as the conversation and the history show it: safe rich text.
    Q_INVOKABLE QString displayMarkup(const QString &stored);

signals:
    void sigOutboxProblem(const QString &problem);
    // getUserInfor() found these users uncached and fetched them: read them again.
    void sigUserInforFetched(const QStringList &ids);
    void sigReconnectInfor();
    void sigConnecting();
    void sigReconnectScheduled(int delayMs);
    void sigRemoveMessage(const QString &ids, const QString &messgaeIds);
    void sigNetworkdisconnect(bool status);
    void sigConnectServer(bool status);
    void sigGetGroupInfor();
    void sigGetRecord();
    void sigGroupInforChange();
    void sigNewGroupInfor(const QString &ids);
    void sigAddGroup(const QString &groupIds);
    void sigEditGroupCB(const QString &groupIds, bool isAdd, const QString &deletes);
    void sigEditGroupDelete(const QString &groupIds);
    void sigHistoryGetRecord();
    // The local history was cleared: reload what the engine still holds.
    void sigHistoryCleared();
    void sigPrivareMessage(const QString &ids, const QString &messages);
    void sigGroupMessage(const QString &groupIds, bool isSelf, const QString &messages);
    void sigPrivareMessageStatus(const QString &ids, qulonglong msgid, const QString &statusa);
    void sigGroupMessageStatus(const QString &groupIds, qulonglong msgid, const QString &fromId,
                               const QString &statusa);
    void sigMessageUnreadNums(const QString &id, int nums, const QString &types,
                              const QString &groupNames);
    void sigSendLastMessageInfor(const QString &ids, const QString &contents, const QString &types,
                                 const QString &times);
    void sigKeptConversations();
    void sigLoginStatus(bool status, int types, const QString &errors);
    void sigSendMessageFail(const QString &ids, const QString &msgIds, const QString &types,
                            const QString &errors);
    // One of the user's own messages changed its delivery state ("3": read up to msgId).
    void sigMessageStatus(const QString &ids, const QString &types, qulonglong msgId,
                          const QString &sendStatus);

private:
    SocketHandl *m_engine;
    MessageTextCodec m_codec;
};
