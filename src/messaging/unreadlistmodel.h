#pragma once

#include "keyedlistmodel.h"

// The unread conversations and system reminders the tray's pop-up lists, newest first, with
// the sum of their unread counts. A conversation has one row, moved to the top as its count
// changes and gone once it is read; each system reminder has its own row.
class UnreadListModel : public KeyedListModel
{
    Q_OBJECT
    Q_PROPERTY(int total READ total NOTIFY totalChanged)
public:
    explicit UnreadListModel(QObject *parent = nullptr);

    int total() const { return m_total; }

    // A conversation's unread count as the lists tell it ("0" takes it off).
    Q_INVOKABLE void place(const QString &ids, const QString &names, const QString &unreads,
                           const QString &paths, const QString &types);
    // A system reminder of the module `menuName`, sent at `times`.
    Q_INVOKABLE void addSystem(const QString &times, const QString &menuName, const QString &paths);
    Q_INVOKABLE void clear();

signals:
    void totalChanged();

private:
    void putFirst(const Row &row);
    void recount();

    int m_total = 0;
};
