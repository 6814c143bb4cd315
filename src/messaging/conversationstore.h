#pragma once

#include "groupentry.h"
#include "messagerecord.h"
#include "recordkeeper.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <mutex>

// The messaging engine's stores: live private and group conversations, the history search
// results, and the group table. Handlers on the network thread write them while the documents
// read them on the GUI thread, so one mutex guards all of them. Each method holds it only for
// its own work, so callers never hold it while they emit a signal or send an event.
class ConversationStore
{
public:
    using PrivateConversation = QMap<qulonglong, MessageRecord>;
    using GroupConversation = QMap<qulonglong, GroupMessageRecord>;
    using PrivateTable = QMap<QString, PrivateConversation>;
    using GroupTable = QMap<QString, GroupConversation>;

    // A record with the same id replaces the earlier one.
    void insertPrivate(const QString &conversation, qulonglong id, const MessageRecord &record);
    void insertGroup(const QString &groupId, qulonglong id, const GroupMessageRecord &record);
    void insertPrivate(const PrivateTable &records);
    void insertGroup(const GroupTable &records);

    // The delivery state of one of the user's own messages that is stored (pending, sent,
    // failed); false when it is not there. A read message stays read.
    bool setPrivateStatus(const QString &conversation, qulonglong id, const QString &status);
    bool setGroupStatus(const QString &groupId, qulonglong id, const QString &status);
    QString privateStatus(const QString &conversation, qulonglong id) const;
    QString groupStatus(const QString &groupId, qulonglong id) const;

    // The service has a message: sets "2", creating a record that holds only that state when
    // the message is not there.
    void setPrivateSent(const QString &conversation, qulonglong id);
    // Sets `status` on every record up to `id`. A read receipt passes over the user's messages
    // that are pending or failed (the service cannot have shown them), except `id` itself.
    void setPrivateStatusUpTo(const QString &conversation, qulonglong id, const QString &status);
    // The group's own message `id` reached the service: "2" when it is stored here.
    void setGroupSent(const QString &groupId, qulonglong id);
    // `reader` has read the group up to `id`: "3" on each record up to it, and the reader
    // counted once per record.
    void setGroupReadUpTo(const QString &groupId, qulonglong id, const QString &reader);

    // Copies (cheap: the maps are shared until written) for building texts without the lock.
    PrivateConversation privateConversation(const QString &conversation) const;
    GroupConversation groupConversation(const QString &groupId) const;
    PrivateConversation privateHistory(const QString &conversation) const;
    GroupConversation groupHistory(const QString &groupId) const;
    // A history reply replaces both history stores (handed to the keeper unless `keep` is
    // false: records that came from it).
    void replaceHistory(const PrivateTable &privateRecords, const GroupTable &groupRecords,
                        bool keep = true);

    void replaceGroups(const QMap<QString, GroupEntry> &groups);
    void upsertGroup(const GroupEntry &entry);
    // Name and members of a group (inserted when it is not in the table). An empty name keeps
    // the one there.
    void updateGroup(const QString &id, const QString &name, const QStringList &members);
    // Takes the group and its live conversation away.
    void removeGroupAndConversation(const QString &id);
    bool group(const QString &id, GroupEntry *entry) const;
    QStringList groupIds() const;

    // What setGroupReadUpTo does, on a conversation outside the store.
    // `changed` collects the ids whose record changed.
    static void markRead(GroupConversation &conversation, qulonglong id, const QString &reader,
                         QVector<qulonglong> *changed = nullptr);

    // Where every record the stores take in (or change) is handed on; none by default.
    void setKeeper(std::shared_ptr<RecordKeeper> keeper);
    // Records from the local history: taken where the store has no record of that id yet,
    // and remembered as local until the service's answer for the conversation settles them.
    void mergeKept(const PrivateTable &privateRecords, const GroupTable &groupRecords);
    // A conversation's page from the service arrived, `oldest` its oldest id: when the page was
    // full and every local record lies below it, the local ones would leave a gap of unknown
    // size, so they go (a further page brings them back); otherwise they join the page.
    void settleKept(bool group, const QString &conversation, qulonglong oldest, bool fullPage);
    // Takes away the records that came only from the local history (live and history views).
    void forgetKept();
    // Empties every store and forgets the keeper (a sign-out).
    void clear();
    // Records of a local search added to the history results, where the service gave no
    // record of that id.
    void addHistory(const PrivateTable &privateRecords, const GroupTable &groupRecords);

    int privateCount(const QString &conversation) const;
    int groupCount(const QString &groupId) const;

private:
    mutable std::mutex m_mutex;
    PrivateTable m_private;
    GroupTable m_group;
    PrivateTable m_privateHistory;
    GroupTable m_groupHistory;
    QMap<QString, GroupEntry> m_groups;
    std::shared_ptr<RecordKeeper> m_keeper;
    QMap<QString, QSet<qulonglong>> m_keptPrivate;
    QMap<QString, QSet<qulonglong>> m_keptGroup;
};
