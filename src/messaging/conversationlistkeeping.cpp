// The half of ConversationListModel that keeps the signed-in user's list: the settings that
// remember it, and the store's answers merged into its rows.
#include "conversationlistmodel.h"

#include "config/configfile.h"
#include "desktop/noticetext.h"
#include "directory/loadpersonnel.h"
#include "session/parameterinfor.h"
#include "socketstate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool isConversationType(const QString &types)
{
    return types == ConversationListModel::privateType || types == ConversationListModel::groupType;
}

QString avatarOf(const QString &types)
{
    return types == ConversationListModel::groupType ? QStringLiteral("qrc:/images/groupavatar.svg")
                                                     : QString();
}

bool onlineOf(const QString &ids, const QString &types)
{
    return types == ConversationListModel::privateType && ParameterInfor::instance()->isOnline(ids);
}

} // namespace

void ConversationListModel::setKeeping(bool keeping)
{
    if (m_keeping == keeping)
        return;
    m_keeping = keeping;
    emit keepingChanged();
}

void ConversationListModel::setOpenId(const QString &ids)
{
    if (m_openId == ids)
        return;
    m_openId = ids;
    emit openIdChanged();
}

void ConversationListModel::setMarkers(const QStringList &markers)
{
    if (m_markers == markers)
        return;
    m_markers = markers;
    emit markersChanged();
}

void ConversationListModel::connectKeeping()
{
    connect(m_store, &SocketState::sigMessageUnreadNums, this, &ConversationListModel::unreadNums);
    connect(m_store, &SocketState::sigSendLastMessageInfor, this,
            &ConversationListModel::lastMessage);
    connect(m_store, &SocketState::sigKeptConversations, this, [this] {
        if (m_keeping)
            showKept(true);
    });
    connect(m_store, &SocketState::sigEditGroupDelete, this, [this](const QString &groupIds) {
        if (m_keeping)
            removeConversation(indexOf(groupIds));
    });
}

QString ConversationListModel::selfId() const
{
    return m_store ? m_store->getSelfUesrId() : QString();
}

QString ConversationListModel::previewText(const QString &msg, const QString &msgType) const
{
    NoticeText::Markers markers;
    if (m_markers.size() == 3)
        markers = {m_markers.at(0), m_markers.at(1), m_markers.at(2)};
    return NoticeText::preview(msg, msgType, markers);
}

QString ConversationListModel::conversationName(const QString &ids, const QString &types,
                                                const QString &hint) const
{
    if (!hint.isEmpty())
        return hint;
    ConfigFile *settings = ConfigFile::instance();
    const QString self = selfId();
    const QString stored = settings->judgeCurrentChatName(self, ids)
                               ? settings->getCurrentChatName(self, ids)
                               : QString();
    if (!stored.isEmpty() && stored != ids)
        return stored;
    QString name;
    if (types == groupType)
        name = m_store ? m_store->getGroupInforFromId(ids, QStringLiteral("name")) : QString();
    else
        name = LoadPersonnel::gestance()->personnelValue(ids);
    return name.isEmpty() ? ids : name;
}

void ConversationListModel::keep(const QString &ids, const QString &names,
                                 const QString &types) const
{
    ConfigFile *settings = ConfigFile::instance();
    settings->setCurrentChatName(selfId(), ids, names);
    if (!types.isEmpty())
        settings->setCurrentChatTypes(selfId(), ids, types);
}

int ConversationListModel::upsert(const QString &ids, const QString &types, const QString &hint)
{
    const int existing = indexOf(ids);
    if (existing >= 0) {
        if (!hint.isEmpty() && m_rows.at(existing).names != hint) {
            setName(existing, hint);
            keep(ids, hint, QString());
            if (m_store)
                m_store->keepConversationName(ids, types, hint);
        }
        return existing;
    }
    const QString names = conversationName(ids, types, hint);
    ensureSystemRow(m_systemName, m_systemTip);
    const int at = addConversation(ids, names, types, onlineOf(ids, types), avatarOf(types), true);
    keep(ids, names, types);
    if (m_store)
        m_store->keepConversationName(ids, types, names);
    askLastRecord(ids, types);
    return at;
}

void ConversationListModel::updateUnread(int index, int count)
{
    if (!setUnread(index, count))
        return;
    const Row &r = m_rows.at(index);
    emit unreadShown(r.ids, r.names, QString::number(r.unread), r.paths, r.types);
}

QString ConversationListModel::removeConversation(int index)
{
    if (index <= 0 || index >= m_rows.size())
        return QString();
    const Row r = m_rows.at(index);
    if (r.unread > 0)
        emit unreadShown(r.ids, r.names, QStringLiteral("0"), r.paths, r.types);
    ConfigFile::instance()->removeCurrentChat(selfId(), r.ids);
    remove(index);
    emit removed(r.ids);
    return r.ids;
}

void ConversationListModel::markRead(int index)
{
    if (index < 0 || index >= m_rows.size())
        return;
    const Row &r = m_rows.at(index);
    if (m_store && r.types == privateType)
        m_store->setPrivateAlreadyRead(r.ids, QString());
    else if (m_store && r.types == groupType)
        m_store->setGroupAlreadyRead(r.ids, QString());
    updateUnread(index, 0);
}

void ConversationListModel::incoming(const QString &ids, const QString &types, const QString &names,
                                     const QString &sender, const QString &msg,
                                     const QString &msgType, double stamp, bool fromOther)
{
    if (!m_keeping)
        return;
    upsert(ids, types, names);
    const QString text = previewText(msg, msgType);
    const QString line = sender.isEmpty() ? text : sender + QStringLiteral(": ") + text;
    const int index = arrive(ids, line, stamp);
    if (!fromOther || index < 0)
        return;
    if (isOpen(ids)) {
        markRead(index);
        return;
    }
    updateUnread(index, m_rows.at(index).unread + 1);
    emit notice(ids, types, m_rows.at(index).names, sender, msg, msgType, line);
}

// The server's unread counts (after sign-in and on request) are the truth for a conversation
// that is not open; a new conversation with unread messages appears.
void ConversationListModel::unreadNums(const QString &ids, int nums, const QString &types,
                                       const QString &groupNames)
{
    if (!m_keeping || ids.isEmpty() || !isConversationType(types))
        return;
    const int count = qMax(0, nums);
    int index = indexOf(ids);
    if (index < 0) {
        if (count == 0)
            return;
        index = upsert(ids, types, types == groupType ? groupNames : QString());
    }
    if (isOpen(ids)) {
        if (count > 0)
            markRead(index);
        return;
    }
    updateUnread(index, count);
}

void ConversationListModel::lastMessage(const QString &ids, const QString &contents,
                                        const QString &, const QString &times)
{
    if (m_keeping && indexOf(ids) >= 0 &&
        showLastRecord(ids, previewText(contents, QString()), times))
        emit lastShown();
}

void ConversationListModel::askLastRecord(const QString &ids, const QString &types)
{
    for (auto &pending : m_pendingLast) {
        if (pending.first == ids) {
            pending.second = types;
            m_askTimer.start();
            return;
        }
    }
    m_pendingLast.append({ids, types});
    m_askTimer.start();
}

void ConversationListModel::sendLastRecordRequest()
{
    QJsonArray list;
    for (const auto &pending : qAsConst(m_pendingLast))
        list.append(QJsonObject{{QStringLiteral("id"), pending.first},
                                {QStringLiteral("types"), pending.second}});
    m_pendingLast.clear();
    if (m_store && !list.isEmpty())
        m_store->getLastrecord(
            QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact)));
}

void ConversationListModel::refresh()
{
    refreshOnline();
    if (!m_store)
        return;
    const QString request = lastRecordRequest();
    if (!request.isEmpty())
        m_store->getLastrecord(request);
    m_store->getLastRecordLength();
}

void ConversationListModel::loadKept()
{
    ensureSystemRow(m_systemName, m_systemTip);
    ConfigFile *settings = ConfigFile::instance();
    const QString self = selfId();
    const QStringList stored = settings->getCurrentChat(self);
    for (const QString &ids : stored) {
        QString types = settings->getCurrentChatTypes(self, ids);
        if (!isConversationType(types))
            types = privateType;
        if (indexOf(ids) >= 0)
            continue;
        const QString name = settings->getCurrentChatName(self, ids);
        addConversation(ids, name.isEmpty() ? conversationName(ids, types) : name, types, false,
                        avatarOf(types), false);
    }
    showKept(false);
    refresh();
}

void ConversationListModel::showKept(bool ask)
{
    const QVariantList kept = m_store ? m_store->keptConversations() : QVariantList();
    if (kept.isEmpty())
        return;
    ensureSystemRow(m_systemName, m_systemTip);
    const QString self = selfId();
    for (const QVariant &entry : kept) {
        const QVariantMap c = entry.toMap();
        const QString ids = c.value(QStringLiteral("ids")).toString();
        const QString types = c.value(QStringLiteral("types")).toString();
        const QString names = c.value(QStringLiteral("names")).toString();
        if (ids.isEmpty() || !isConversationType(types))
            continue;
        int index = indexOf(ids);
        if (index < 0) {
            const QString shown = conversationName(ids, types, names);
            index =
                addConversation(ids, shown, types, onlineOf(ids, types), avatarOf(types), false);
            keep(ids, shown, types);
            if (ask)
                askLastRecord(ids, types);
        } else if (!names.isEmpty() && m_rows.at(index).names == ids) {
            setName(index, names);
        }
        const QString content = c.value(QStringLiteral("content")).toString();
        const double stamp = c.value(QStringLiteral("stamp")).toDouble();
        if (!content.isEmpty() && stamp > m_rows.at(index).stamp) {
            const QString senderName = c.value(QStringLiteral("senderName")).toString();
            const bool named = types == groupType &&
                               c.value(QStringLiteral("creator")).toString() != self &&
                               !senderName.isEmpty();
            showMessage(index,
                        (named ? senderName + QStringLiteral(": ") : QString()) +
                            previewText(content, c.value(QStringLiteral("msgType")).toString()),
                        stamp);
        }
        const int unread = c.value(QStringLiteral("unread")).toInt();
        if (unread > 0 && m_rows.at(index).unread == 0 && !isOpen(ids))
            updateUnread(index, unread);
    }
    sortByTime();
    emit ordered();
}

void ConversationListModel::nameUnnamed()
{
    const QStringList ids = unnamed();
    for (const QString &id : ids) {
        const QString name = LoadPersonnel::gestance()->personnelValue(id);
        if (name.isEmpty())
            continue;
        setName(indexOf(id), name);
        keep(id, name, QString());
    }
}
