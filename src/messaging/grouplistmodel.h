#pragma once

#include "keyedlistmodel.h"
#include "storelink.h"

#include <QSet>
#include <QString>

class SocketState;

// The user's groups as the group list shows them, by name, from the engine's group table: a row
// per group (its id, name, member count and creator). It follows the table through the store's
// group events; rows that stay keep their place and delegates. With a filter only the groups
// whose name, or a member's name, holds its text (any case) are rows.
class GroupListModel : public KeyedListModel
{
    Q_OBJECT
    Q_PROPERTY(SocketState *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QString filterText READ filterText WRITE setFilterText NOTIFY filterTextChanged)
    // The group the list shows open; it is let go when the group leaves the table.
    Q_PROPERTY(QString currentGroupId READ currentGroupId WRITE setCurrentGroupId NOTIFY
                   currentGroupIdChanged)
public:
    enum Role {
        GroupIdRole = Qt::UserRole + 1,
        GroupNameRole,
        MemberCountRole,
        CreatorRole,
    };
    Q_ENUM(Role)

    explicit GroupListModel(QObject *parent = nullptr);

    SocketState *store() const;
    void setStore(SocketState *store);
    QString filterText() const { return m_filterText; }
    void setFilterText(const QString &text);
    QString currentGroupId() const { return m_currentGroupId; }
    void setCurrentGroupId(const QString &groupId);

    // Brings the rows to the table as it is now.
    Q_INVOKABLE void reload();
    // Whether the table holds the group, a row or filtered out.
    Q_INVOKABLE bool inTable(const QString &groupId) const { return m_table.contains(groupId); }
    // The group a picture of a card shows: the user's own with the most members, else the one
    // with the most; empty without groups.
    Q_INVOKABLE QString leadingGroup() const;

signals:
    void storeChanged();
    void filterTextChanged();
    // The rows follow the table again.
    void reloaded();
    void currentGroupIdChanged();
    // The open group is no longer the user's (left, removed or deleted); after reloaded().
    void currentGone(const QString &groupId);

private:
    StoreLink m_store;
    QString m_filterText;
    QString m_currentGroupId;
    QSet<QString> m_table;
};
