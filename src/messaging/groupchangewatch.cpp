#include "groupchangewatch.h"

#include "socketstate.h"

#include <QStringList>

#include <algorithm>

namespace {

QSet<QString> idSet(const QString &ids)
{
    const QStringList list = ids.split(QLatin1Char(','), Qt::SkipEmptyParts);
    return QSet<QString>(list.cbegin(), list.cend());
}

} // namespace

GroupChangeWatch::GroupChangeWatch(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(15000);
    connect(&m_timer, &QTimer::timeout, this, [this]() {
        m_groupId.clear();
        emit waitingChanged();
        emit failed();
    });
}

void GroupChangeWatch::setStore(SocketState *store)
{
    const bool changed = m_store.link(this, store, [this](SocketState *s) {
        connect(s, &SocketState::sigEditGroupCB, this, &GroupChangeWatch::edited);
        connect(s, &SocketState::sigEditGroupDelete, this, &GroupChangeWatch::gone);
    });
    if (changed)
        emit storeChanged();
}

void GroupChangeWatch::setTimeout(int ms)
{
    if (ms == m_timer.interval())
        return;
    // A running limit starts again with the new length, as a bound timer would.
    m_timer.setInterval(ms);
    emit timeoutChanged();
}

void GroupChangeWatch::watch(const QString &kind, const QString &groupId, const QString &userIds)
{
    m_kind = kind;
    m_groupId = groupId;
    m_users = idSet(userIds);
    m_timer.start();
    emit waitingChanged();
}

void GroupChangeWatch::edited(const QString &groupId, bool isAdd, const QString &deletes)
{
    if (m_groupId.isEmpty() || groupId != m_groupId)
        return;
    bool done = false;
    if (m_kind == QLatin1String("add")) {
        done = isAdd;
    } else if (m_kind == QLatin1String("remove")) {
        const QSet<QString> removed = idSet(deletes);
        done = std::all_of(m_users.cbegin(), m_users.cend(),
                           [&removed](const QString &id) { return removed.contains(id); });
    }
    if (done)
        finish();
}

void GroupChangeWatch::gone(const QString &groupId)
{
    // Left, deleted, or taken out by someone else: nothing is waited for any more.
    if (!m_groupId.isEmpty() && groupId == m_groupId)
        finish();
}

void GroupChangeWatch::finish()
{
    m_groupId.clear();
    m_timer.stop();
    emit waitingChanged();
}
