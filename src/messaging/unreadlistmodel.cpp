#include "unreadlistmodel.h"

namespace {

enum Field { Ids, Names, Unreads, Paths, Types };

// The leading digits of a count ("3", "12条"), as the lists send them; 0 for none.
int countOf(const QVariant &text)
{
    const QString value = text.toString().trimmed();
    int digits = 0;
    while (digits < value.size() && digits < 9 && value.at(digits).isDigit())
        ++digits;
    return value.left(digits).toInt();
}

} // namespace

UnreadListModel::UnreadListModel(QObject *parent)
    : KeyedListModel({"ids", "names", "unreads", "paths", "types"}, parent)
{}

void UnreadListModel::place(const QString &ids, const QString &names, const QString &unreads,
                            const QString &paths, const QString &types)
{
    if (countOf(unreads) > 0)
        putFirst({ids, names, unreads, paths, types});
    else
        removeKey(ids);
    recount();
}

void UnreadListModel::addSystem(const QString &times, const QString &menuName, const QString &paths)
{
    putFirst({QStringLiteral("system:") + times, menuName, QStringLiteral("1"), paths,
              QStringLiteral("system")});
    recount();
}

void UnreadListModel::clear()
{
    sync({});
    recount();
}

void UnreadListModel::putFirst(const Row &row)
{
    const QString key = row.first().toString();
    QVector<Row> wanted{row};
    wanted.reserve(count() + 1);
    for (int i = 0; i < count(); ++i) {
        if (keyAt(i) != key)
            wanted.append(this->row(i));
    }
    sync(wanted);
}

void UnreadListModel::recount()
{
    int total = 0;
    for (int i = 0; i < count(); ++i)
        total += countOf(row(i).at(Unreads));
    if (total == m_total)
        return;
    m_total = total;
    emit totalChanged();
}
