#include "keyedlistmodel.h"

#include <algorithm>
#include <utility>

KeyedListModel::KeyedListModel(QList<QByteArray> roles, QObject *parent)
    : QAbstractListModel(parent), m_roles(std::move(roles))
{}

int KeyedListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant KeyedListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int field = role - roleOf(0);
    const Row &r = m_rows.at(index.row());
    return field >= 0 && field < r.size() ? r.at(field) : QVariant();
}

QHash<int, QByteArray> KeyedListModel::roleNames() const
{
    QHash<int, QByteArray> names;
    for (int i = 0; i < m_roles.size(); ++i)
        names.insert(roleOf(i), m_roles.at(i));
    return names;
}

int KeyedListModel::indexOf(const QString &key) const
{
    for (int i = m_staleFrom; i < m_rows.size(); ++i)
        m_index.insert(keyAt(i), i);
    m_staleFrom = std::numeric_limits<int>::max();
    return m_index.value(key, -1);
}

QVariantMap KeyedListModel::get(int index) const
{
    QVariantMap fields;
    if (index < 0 || index >= m_rows.size())
        return fields;
    const Row &r = m_rows.at(index);
    for (int i = 0; i < m_roles.size() && i < r.size(); ++i)
        fields.insert(QString::fromLatin1(m_roles.at(i)), r.at(i));
    return fields;
}

QStringList KeyedListModel::keys() const
{
    QStringList keys;
    keys.reserve(m_rows.size());
    for (const Row &r : m_rows)
        keys.append(r.first().toString());
    return keys;
}

QStringList KeyedListModel::keysWith(const QStringList &more) const
{
    QStringList all = keys();
    for (const QString &key : more) {
        if (!contains(key))
            all.append(key);
    }
    return all;
}

QStringList KeyedListModel::keysWithout(const QString &key) const
{
    QStringList rest = keys();
    rest.removeAll(key);
    return rest;
}

QVariant KeyedListModel::rowOf(const QString &key) const
{
    const int index = indexOf(key);
    return index < 0 ? QVariant::fromValue(nullptr) : QVariant(get(index));
}

void KeyedListModel::sync(const QVector<Row> &wanted)
{
    const int before = m_rows.size();
    QHash<QString, int> target;
    target.reserve(wanted.size());
    for (int i = 0; i < wanted.size(); ++i)
        target.insert(wanted.at(i).first().toString(), i);

    // The rows that go, a run of neighbours at a time from the end.
    for (int last = m_rows.size() - 1; last >= 0;) {
        if (target.contains(keyAt(last))) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && !target.contains(keyAt(first - 1)))
            --first;
        beginRemoveRows(QModelIndex(), first, last);
        for (int i = first; i <= last; ++i)
            m_index.remove(keyAt(i));
        m_rows.remove(first, last - first + 1);
        shifted(first);
        endRemoveRows();
        last = first - 1;
    }

    // The wanted rows already here, in wanted order, and their places: those on the longest
    // run of increasing places stay where they are, every other one moves once.
    QVector<int> kept;
    QVector<int> place;
    for (int j = 0; j < wanted.size(); ++j) {
        const int at = indexOf(wanted.at(j).first().toString());
        if (at >= 0) {
            kept.append(j);
            place.append(at);
        }
    }
    QVector<int> tails;
    QVector<int> previous(kept.size(), -1);
    for (int s = 0; s < kept.size(); ++s) {
        const auto end =
            std::lower_bound(tails.begin(), tails.end(), place.at(s),
                             [&place](int t, int value) { return place.at(t) < value; });
        const int length = int(end - tails.begin());
        if (length > 0)
            previous[s] = tails.at(length - 1);
        if (end == tails.end())
            tails.append(s);
        else
            *end = s;
    }
    QVector<bool> still(wanted.size(), false);
    QVector<bool> present(wanted.size(), false);
    for (int j : qAsConst(kept))
        present[j] = true;
    for (int s = tails.isEmpty() ? -1 : tails.last(); s >= 0; s = previous.at(s))
        still[kept.at(s)] = true;

    // Each wanted row goes right after the one before it: the rows that stay are in order
    // already, so the others settle around them.
    int anchor = -1;
    for (int j = 0; j < wanted.size();) {
        if (!present.at(j)) {
            int end = j + 1;
            while (end < wanted.size() && !present.at(end))
                ++end;
            insertRun(anchor + 1, wanted, j, end);
            anchor += end - j;
            j = end;
            continue;
        }
        const int at = indexOf(wanted.at(j).first().toString());
        anchor = still.at(j) ? at : moveAfter(at, anchor);
        ++j;
    }
    for (int j = 0; j < wanted.size(); ++j)
        updateFields(j, wanted.at(j));
    if (m_rows.size() != before)
        emit countChanged();
}

void KeyedListModel::appendRow(Row row)
{
    if (contains(row.first().toString()))
        return;
    const int at = m_rows.size();
    beginInsertRows(QModelIndex(), at, at);
    m_rows.append(std::move(row));
    shifted(at);
    endInsertRows();
    emit countChanged();
}

bool KeyedListModel::removeKey(const QString &key)
{
    const int at = indexOf(key);
    if (at < 0)
        return false;
    beginRemoveRows(QModelIndex(), at, at);
    m_index.remove(key);
    m_rows.remove(at);
    shifted(at);
    endRemoveRows();
    emit countChanged();
    return true;
}

void KeyedListModel::shifted(int first)
{
    m_staleFrom = qMin(m_staleFrom, first);
}

void KeyedListModel::insertRun(int at, const QVector<Row> &wanted, int from, int to)
{
    beginInsertRows(QModelIndex(), at, at + to - from - 1);
    m_rows.insert(at, to - from, Row());
    for (int i = from; i < to; ++i)
        m_rows[at + i - from] = wanted.at(i);
    shifted(at);
    endInsertRows();
}

int KeyedListModel::moveAfter(int from, int after)
{
    if (from == after + 1)
        return from;
    const int to = from > after ? after + 1 : after;
    beginMoveRows(QModelIndex(), from, from, QModelIndex(), after + 1);
    m_rows.move(from, to);
    shifted(qMin(from, to));
    endMoveRows();
    return to;
}

void KeyedListModel::updateFields(int index, const Row &wanted)
{
    Row &r = m_rows[index];
    QVector<int> roles;
    for (int i = 1; i < wanted.size() && i < r.size(); ++i) {
        if (r.at(i) != wanted.at(i)) {
            r[i] = wanted.at(i);
            roles.append(roleOf(i));
        }
    }
    if (!roles.isEmpty())
        emit dataChanged(createIndex(index, 0), createIndex(index, 0), roles);
}
