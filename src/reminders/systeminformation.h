#pragma once

#include "net/replyenvelope.h"
#include "net/requestslot.h"
#include "reminders/remindgroup.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <mutex>

class QNetworkReply;

// The process-wide reminder store: the server's reminder groups by module with their items,
// the index from a module's menu key to its group, and the unread counts per module with their
// total. The documents read it through SystemHandl; the messaging engine counts system
// messages into it from its network thread, so the tables sit behind one mutex.
class SystemInformation : public QObject
{
    Q_OBJECT
public:
    // `types` of sigRequestStatus.
    enum RequestKind { GroupRequest = 1, UnreadRequest = 2 };
    // Group id for a menu key that no group carries.
    static constexpr int NoGroup = -3;

    static SystemInformation *gestance();

    // Requests the groups; a successful reply starts the unread request. Safe from any thread.
    void getSystemReminds();
    // Requests the unread counts unless a request for them is still outstanding.
    void getSystemUnreadNumbers();
    bool unreadRequestBusy() const;

    QList<int> systemRemindListId() const;
    QList<int> systemRemindItemListId(int ids) const;
    QString systemRemind(int ids, const QString &types) const;
    QString systemRemindItem(int menuids, int ids, const QString &types) const;
    // menu_name of the last group (by ascending id) whose remind_menu is `smsMenu`.
    QString smsnameFromSmsmenu(const QString &smsMenu) const;
    // "all" gives the total.
    int unreadNumberFromRemindmenu(const QString &remindMenu) const;
    int groupIdFromRemindmenu(const QString &remindMenu) const;
    // Adds `amount` to (or with `subtract`, takes it from) a group's unReadNum; never below 0.
    void updateUnreadNumber(int ids, int amount, bool subtract = false);
    // Signing out: the reminders and counts go, and a reply still on its way is dropped.
    void forgetAccount();

    // A groups reply or an unread reply, taken into the store and announced; false (the store
    // unchanged) for one that is no success or carries the wrong kind of data.
    bool readGroups(const ReplyEnvelope &envelope);
    bool readUnread(const ReplyEnvelope &envelope);

    // A system message addressed to the signed-in user: counts it for its module's group, then
    // announces it (jumpWebpage, then messageTipInfors with the group id).
    void receiveSystemMessage(const QString &ida, const QString &params, const QString &smsMenu,
                              const QString &smsType, const QString &content,
                              const QString &sendTime);

public slots:
    void onSystemReminds(QNetworkReply *reply);
    void onSystemUnreadNumbers(QNetworkReply *reply);

signals:
    void sigSystemInforChange();
    void sigUnreadNumberFromRemindmenu();
    void messageTipInfors(int messageIds, const QString &menus, const QString &content,
                          const QString &sendTime);
    void jumpWebpage(const QString &ida, const QString &params, const QString &sms_menu,
                     const QString &sms_type);
    // Outcome of a group or unread request; on failure `errors` is the text for the user and
    // the store keeps what it had.
    void sigRequestStatus(bool status, int types, const QString &errors);

private:
    SystemInformation() = default;
    bool onOwnerThread() const;

    // std::mutex rather than QMutex, so the thread sanitizer sees the locking.
    mutable std::mutex m_mutex;
    QMap<int, RemindGroup> m_groups;
    QHash<QString, int> m_menuIndex;
    QMap<QString, int> m_unread;
    int m_unreadTotal = 0;

    // Used on the owner thread only.
    RequestSlot m_groupSlot;
    RequestSlot m_unreadSlot;
    bool m_unreadBusy = false;
};
