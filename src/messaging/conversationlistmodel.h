#pragma once

#include "storelink.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <QVector>

class SocketState;

// The recent conversations of the news list: the system messages pinned on row 0, then one row
// per conversation with its last message, time, unread count and online mark. A message that
// arrives raises its conversation right below the system messages; the last-record answers are
// put in order by time (newest first) once they have settled. Rows are found by conversation id
// and move, never reset, so the view keeps its delegates and its current row.
class ConversationListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The unread messages of the conversations, the system messages not counted.
    Q_PROPERTY(int unreadTotal READ unreadTotal NOTIFY unreadTotalChanged)
    // The unread system reminders, shown on the system row.
    Q_PROPERTY(int systemUnread READ systemUnread WRITE setSystemUnread NOTIFY systemUnreadChanged)
    // Where the messages come from: each one becomes messageArrived, read out of its JSON text.
    Q_PROPERTY(SocketState *store READ store WRITE setStore NOTIFY storeChanged)
public:
    enum Role {
        IdsRole = Qt::UserRole + 1,
        NamesRole,
        TypesRole,
        ContentRole,
        TimesRole,
        StampRole,
        UnreadRole,
        OnlineRole,
        PathsRole,
    };
    Q_ENUM(Role)

    struct Row
    {
        QString ids;
        QString names;
        QString types;
        QString content;
        QString times;
        double stamp = 0;
        int unread = 0;
        bool online = false;
        QString paths;
        // The row's key in m_position, for the model alone.
        int serial = -1;
    };

    static const QString systemId;

    explicit ConversationListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    int unreadTotal() const { return m_unreadTotal; }
    int systemUnread() const { return m_systemUnread; }
    void setSystemUnread(int count);
    SocketState *store() const;
    void setStore(SocketState *store);
    const Row &row(int index) const { return m_rows.at(index); }

    // The row of a conversation, -1 when it has none.
    Q_INVOKABLE int indexOf(const QString &ids) const;
    // A row's fields by role name, an empty map out of range.
    Q_INVOKABLE QVariantMap get(int index) const;
    Q_INVOKABLE void ensureSystemRow(const QString &name, const QString &tip);
    // A new conversation's row, below the system messages or last; its index.
    Q_INVOKABLE int addConversation(const QString &ids, const QString &names, const QString &types,
                                    bool online, const QString &paths, bool atTop);
    // The row brought right below the system messages; its new index.
    Q_INVOKABLE int raise(int index);
    // A row's last message: its text, time (ms) and the time shown for it.
    Q_INVOKABLE void showMessage(int index, const QString &content, double stamp);
    // A message of the conversation arrived: its row goes on top and shows it. Its index, -1
    // for a conversation without a row.
    Q_INVOKABLE int arrive(const QString &ids, const QString &content, double stamp);
    // A last-record answer, which knows the clock time only: shown unless the row has a newer
    // message or already shows this one. True when shown.
    Q_INVOKABLE bool showLastRecord(const QString &ids, const QString &content,
                                    const QString &times);
    // False when the row already had that many.
    Q_INVOKABLE bool setUnread(int index, int count);
    Q_INVOKABLE void setName(int index, const QString &names);
    // The online mark of the people among `ids`.
    Q_INVOKABLE void setOnline(const QStringList &ids, bool online);
    // Every person's online mark as the session knows it.
    Q_INVOKABLE void refreshOnline();
    Q_INVOKABLE bool remove(int index);
    // Newest first below the system messages; equal times keep their order.
    Q_INVOKABLE void sortByTime();
    // The conversations whose name holds `text` (any case) or whose id it is.
    Q_INVOKABLE QVariantList matching(const QString &text) const;
    // The private conversations that show their id for want of a name.
    Q_INVOKABLE QStringList unnamed() const;
    // A last-record request for every conversation, as the store takes it.
    Q_INVOKABLE QString lastRecordRequest() const;

    // "yyyy-MM-dd hh:mm[:ss]" local time to ms; 0 when unreadable.
    static double stampOf(const QString &sendTime);
    // A clock time "hh:mm" (within any text) as today's, or yesterday's if that lies ahead.
    static double stampOfClock(const QString &times, qint64 nowMs);
    // Today's messages show their time, older ones their date.
    static QString timeText(double stamp, qint64 nowMs);

    // What the store's texts say, as messageArrived gives it.
    void readPrivate(const QString &ids, const QString &messages);
    void readGroup(const QString &groupIds, bool isSelf, const QString &messages);

signals:
    void countChanged();
    void unreadTotalChanged();
    void systemUnreadChanged();
    void storeChanged();
    // A message of the store: its conversation, the group's name (empty for a person), the
    // writer in a group, the message as it came and its time; `fromOther` when somebody else
    // wrote it.
    void messageArrived(const QString &ids, const QString &types, const QString &names,
                        const QString &sender, const QString &msg, const QString &msgType,
                        double stamp, bool fromOther);

private:
    void insertRow(int at, Row row);
    // `findable`: indexOf finds the moved rows at once (a sort finds them all at its end).
    void moveRow(int from, int to, bool findable = true);
    void reindex(int first, int last);
    void changed(int index, const QVector<int> &roles);
    void setUnreadTotal(int total);

    QVector<Row> m_rows;
    // Conversation id to the serial of its row, and each serial's row number: a move renumbers
    // the rows it shifts without hashing their ids again.
    QHash<QString, int> m_index;
    QVector<int> m_position;
    int m_unreadTotal = 0;
    int m_systemUnread = 0;
    StoreLink m_store;
};
