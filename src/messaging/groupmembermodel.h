#pragma once

#include "keyedlistmodel.h"
#include "storelink.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class SocketState;

// People as a group's views show them, a row per user id with the name, online mark, owner
// mark and department. The rows come from one source: the members of a group in the engine's
// table (following its group events and who is online), the organisation's people (less the
// excluded, narrowed by a filter), or the people picked by hand. Rows that stay keep their place
// and delegates.
class GroupMemberModel : public KeyedListModel
{
    Q_OBJECT
    Q_PROPERTY(Source source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(Order order READ order WRITE setOrder NOTIFY orderChanged)
    // The group source: where the table is, and which group.
    Q_PROPERTY(SocketState *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QString groupId READ groupId WRITE setGroupId NOTIFY groupIdChanged)
    // The organisation source: who is not offered, and the text a name or id must hold (a name
    // in any case).
    Q_PROPERTY(
        QStringList excludedIds READ excludedIds WRITE setExcludedIds NOTIFY excludedIdsChanged)
    Q_PROPERTY(QString filterText READ filterText WRITE setFilterText NOTIFY filterTextChanged)
    Q_PROPERTY(int onlineCount READ onlineCount NOTIFY onlineCountChanged)
public:
    enum Role {
        UserIdRole = Qt::UserRole + 1,
        UserNameRole,
        OnlineRole,
        OwnerRole,
        DepartmentRole,
    };
    Q_ENUM(Role)
    enum Source {
        Picked,
        Group,
        Directory,
    };
    Q_ENUM(Source)
    // Picked people keep the order they were picked in.
    enum Order {
        ByName,
        OnlineFirst,
        OwnerFirst,
    };
    Q_ENUM(Order)

    explicit GroupMemberModel(QObject *parent = nullptr);

    Source source() const { return m_source; }
    void setSource(Source source);
    Order order() const { return m_order; }
    void setOrder(Order order);
    SocketState *store() const;
    void setStore(SocketState *store);
    QString groupId() const { return m_groupId; }
    void setGroupId(const QString &groupId);
    QStringList excludedIds() const { return m_excludedIds; }
    void setExcludedIds(const QStringList &ids);
    QString filterText() const { return m_filterText; }
    void setFilterText(const QString &text);
    int onlineCount() const { return m_onlineCount; }

    // Reads the source again; the organisation source is read from here on (a model that was
    // never asked does not build its list when the organisation comes in).
    Q_INVOKABLE void reload();
    // Picked people: in or out again; true when now picked.
    Q_INVOKABLE bool toggle(const QString &userId, const QString &userName);
    Q_INVOKABLE void clear();
    Q_INVOKABLE QStringList names() const;
    // Picked people: the first `n` rows of `shown` are picked too.
    Q_INVOKABLE void pickFirst(GroupMemberModel *shown, int n);
    // A name for a new group of `first` (the user) and the picked people: the first three
    // names, at most `maxLength` characters.
    Q_INVOKABLE QString groupNameWith(const QString &first, int maxLength) const;
    // Group members: those the user cache lacks are fetched in one request (each asked for once
    // only: a member the server does not return does not stall the window again), then the
    // departments and the names missing from the organisation are shown.
    Q_INVOKABLE void fetchDetails();

signals:
    void sourceChanged();
    void orderChanged();
    void storeChanged();
    void groupIdChanged();
    void excludedIdsChanged();
    void filterTextChanged();
    void onlineCountChanged();

private:
    QVector<Row> groupRows() const;
    QVector<Row> directoryRows();
    void sortRows(QVector<Row> &rows) const;
    void show(const QVector<Row> &rows);
    void onlineChanged(const QStringList &ids);

    Source m_source = Picked;
    Order m_order = ByName;
    StoreLink m_store;
    QString m_groupId;
    QStringList m_excludedIds;
    QString m_filterText;
    int m_onlineCount = 0;
    // The organisation's people less the excluded, by name; read once it was asked for.
    bool m_wanted = false;
    QVector<Row> m_everyone;
    QSet<QString> m_askedUsers;
};
