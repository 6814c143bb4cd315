#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

#include <limits>

// A list model whose rows are keyed by a text id, their first field. sync() brings the rows to a
// wanted list with the fewest changes: rows that go are removed in runs, rows that stay keep
// their place unless they must move (only those off the longest run already in order move), new
// rows are inserted in runs and changed fields say which roles changed. A view keeps its
// delegates and its place, and a persistent index follows its row. Keys find rows by a hash.
class KeyedListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    // One value per role, in the order of the role names; the key first.
    using Row = QVector<QVariant>;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    const Row &row(int index) const { return m_rows.at(index); }
    QString keyAt(int index) const { return m_rows.at(index).first().toString(); }

    // The row of a key, -1 for none.
    Q_INVOKABLE int indexOf(const QString &key) const;
    Q_INVOKABLE bool contains(const QString &key) const { return indexOf(key) >= 0; }
    // A row's fields by role name; an empty map out of range.
    Q_INVOKABLE QVariantMap get(int index) const;
    // The keys in row order.
    Q_INVOKABLE QStringList keys() const;
    // The keys with those of `more` that are not rows yet after them; and without `key`.
    Q_INVOKABLE QStringList keysWith(const QStringList &more) const;
    Q_INVOKABLE QStringList keysWithout(const QString &key) const;
    // The fields of the row of `key` as get() gives them; null without such a row.
    Q_INVOKABLE QVariant rowOf(const QString &key) const;

signals:
    void countChanged();

protected:
    // `roles`: the role names, the key's first.
    KeyedListModel(QList<QByteArray> roles, QObject *parent);

    // `wanted`: each key once, in the order to show.
    void sync(const QVector<Row> &wanted);
    void appendRow(Row row);
    bool removeKey(const QString &key);
    static int roleOf(int field) { return Qt::UserRole + 1 + field; }

private:
    // Rows from `first` on have moved: their keys are hashed again when next looked up.
    void shifted(int first);
    void insertRun(int at, const QVector<Row> &wanted, int from, int to);
    // Moves row `from` right after row `after` (-1: to the top); its new index.
    int moveAfter(int from, int after);
    void updateFields(int index, const Row &wanted);

    QList<QByteArray> m_roles;
    QVector<Row> m_rows;
    mutable QHash<QString, int> m_index;
    // The first row whose hashed index may be stale; a lookup mends the rows from there on, so
    // a run of changes costs one pass.
    mutable int m_staleFrom = std::numeric_limits<int>::max();
};
