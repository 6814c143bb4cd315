#pragma once

#include <QList>
#include <QObject>
#include <QString>

// The documents' view of the reminder store: reads go to the single SystemInformation, its
// signals are relayed, and the openers build the web client address of a reminder, a mention,
// a data record or a plain link and open it.
class SystemHandl : public QObject
{
    Q_OBJECT
public:
    explicit SystemHandl(QObject *parent = nullptr);

    Q_INVOKABLE QList<int> getSystemRemindListId() const;
    Q_INVOKABLE QList<int> getSystemRemindItemListId(int ids) const;
    Q_INVOKABLE QString getSmsnameFromSmsmenu(const QString &sms_menu) const;
    Q_INVOKABLE QString getSystemRemind(int ids, const QString &types) const;
    Q_INVOKABLE QString getSystemRemindItem(int menuids, int ids, const QString &types) const;
    Q_INVOKABLE void getSystemUnreadNumbers();
    Q_INVOKABLE int getUnreadNumberFromRemindmenu(const QString &remindMenu) const;

    Q_INVOKABLE void openMessageInfor(const QString &massageIds, const QString &types,
                                      const QString &menus);
    Q_INVOKABLE void openMetionInfor(const QString &massageIdInfor);
    Q_INVOKABLE void openDataInfor(const QString &dataInfor);
    Q_INVOKABLE void openLinkWeb(const QString &address);

signals:
    void sigSystemInforChange();
    void sigUnreadNumberFromRemindmenu();
    void messageTipInfors(int messageIds, const QString &menus, const QString &content,
                          const QString &sendTime);
    void jumpWebpage(const QString &ida, const QString &params, const QString &sms_menu,
                     const QString &sms_type);
    void jumpBrowser(const QString &browsers);
    // A page for the system's browser; the documents hand it to the link opener.
    void openExternally(const QString &link);
    // Relayed from the store: outcome of its group and unread requests.
    void sigRequestStatus(bool status, int types, const QString &errors);

private:
    void open(const QString &address);
};
