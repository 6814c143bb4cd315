#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

// The modules of the reminder view with their unread counts: "all" first, then each module
// that has a reminder group, once, in the store's order. Rows are found by module key. The
// counts are the store's; a read mark takes them down at once, and the server's follow.
class ReminderModuleModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The name of the "all" row, in the user's language.
    Q_PROPERTY(QString allName READ allName WRITE setAllName NOTIFY allNameChanged)
public:
    enum Role { KeyRole = Qt::UserRole + 1, NameRole, UnreadRole };
    Q_ENUM(Role)

    static const QString allKey;

    explicit ReminderModuleModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    QString allName() const { return m_allName; }
    void setAllName(const QString &name);

    // The modules of the store's groups, with its counts.
    Q_INVOKABLE void reload();
    // reload(), then the module to stay on: `key` while it still has a row, else "all".
    Q_INVOKABLE QString reloadKeeping(const QString &key);
    // The store's counts on every row; when a mark made them stale while an earlier answer was
    // on its way, they are asked for once more.
    Q_INVOKABLE void refreshCounts();
    // New counts are wanted after a read mark or a new reminder.
    Q_INVOKABLE void askCounts();
    // The row of a module key, -1 for none.
    Q_INVOKABLE int indexOf(const QString &key) const;
    Q_INVOKABLE QString keyAt(int index) const;
    Q_INVOKABLE QString nameOf(const QString &key) const;
    Q_INVOKABLE int unreadOf(const QString &key) const;
    Q_INVOKABLE QVariantMap get(int index) const;
    // The picture of a module, by its key or else its name (ModuleIcons::path).
    Q_INVOKABLE QString iconPath(const QString &key, const QString &name) const;

    // `amount` read in module `key`: its row and the "all" row count down, never below 0.
    void countDown(const QString &key, int amount);
    // The modules of the choice `menu` ("all" for every one) that have unread reminders.
    QStringList unreadKeys(const QString &menu) const;

signals:
    void countChanged();
    void allNameChanged();
    // The document asks the store, whose answer comes back to refreshCounts().
    void countsWanted();

private:
    struct Row
    {
        QString key;
        QString name;
        int unread = 0;
    };
    void setUnread(int index, int unread);

    QVector<Row> m_rows;
    QHash<QString, int> m_rowOf;
    QString m_allName;
    bool m_countsStale = false;
};
