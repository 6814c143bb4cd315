#pragma once

#include "reminders/menuentry.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include <mutex>

// The process-wide tree of the server's modules and menus that the user may use, filled from
// each login reply. The top-level menus are the model's rows. The login component fills it on
// the GUI thread and the QR-code loader from its own thread while the documents may be reading,
// so the table sits behind a mutex and the rows follow it on the model's own thread.
class MenuModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Roles {
        MenuIdRole = Qt::UserRole + 1,
        MenuNameRole,
        MenuNameZmRole,
        HasChildrenRole,
        ChildCountRole,
    };

    static MenuModel *instance();

    // Reads the menu tree out of a login reply body and announces it with sigUpdateData(). A
    // body that is no successful reply, or whose menus are of the wrong kind, changes nothing.
    void setMenuData(const QByteArray &body);
    // Signing out: the menu goes with the account that was shown it.
    void forgetAccount();

    // The top-level menus with their descendants, by integer menu_id.
    QMap<int, MenuEntry> menuTree() const;
    // Top-level menu ids, ascending.
    QList<int> menuListId() const;
    // {"item": [...]} with the children of top-level menu `ids`, recursively, indented.
    QString childMenuList(int ids) const;
    // menu_id, menu_name, menu_name_zm or has_children of top-level menu `ids`.
    QString menuIdInfor(int ids, const QString &types) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void sigUpdateData();

private:
    using MenuTable = QMap<int, MenuEntry>;
    MenuModel() = default;
    MenuTable table() const;
    // On the model's thread: the rows take the current table.
    void publish();

    // std::mutex rather than QMutex, so the thread sanitizer sees the locking.
    mutable std::mutex m_mutex;
    MenuTable m_table;
    // The rows views see; touched on the model's thread only.
    QVector<MenuEntry> m_rows;
};
