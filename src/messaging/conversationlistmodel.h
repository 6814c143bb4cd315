#pragma once

#include "storelink.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
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
    // The list of the signed-in user: each conversation's name and type kept in the settings,
    // the store's messages, unread counts, last records and kept conversations merged into the
    // rows, read marks sent for the open one. Off, the rows change only when asked to.
    Q_PROPERTY(bool keeping READ keeping WRITE setKeeping NOTIFY keepingChanged)
    // The conversation on screen, empty while it is covered: its messages arrive read.
    Q_PROPERTY(QString openId READ openId WRITE setOpenId NOTIFY openIdChanged)
    // How a picture, a file and an emoticon read in a preview line.
    Q_PROPERTY(QStringList markers READ markers WRITE setMarkers NOTIFY markersChanged)
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
    // The conversation types of the engine's texts: a private chat and a group.
    static const QString privateType;
    static const QString groupType;

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
    bool keeping() const { return m_keeping; }
    void setKeeping(bool keeping);
    QString openId() const { return m_openId; }
    void setOpenId(const QString &ids);
    QStringList markers() const { return m_markers; }
    void setMarkers(const QStringList &markers);

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

    // A conversation's name: the hint, the stored one, the organisation's or the group
    // table's; the id itself when nobody knows it.
    Q_INVOKABLE QString conversationName(const QString &ids, const QString &types,
                                         const QString &hint = QString()) const;
    // The row of a conversation, added below the system messages (and kept) when it is new; a
    // hint renames a known row. Its index.
    Q_INVOKABLE int upsert(const QString &ids, const QString &types,
                           const QString &hint = QString());
    // setUnread, told by unreadShown.
    Q_INVOKABLE void updateUnread(int index, int count);
    // A conversation out of the list and the settings (never the system row); its id, or empty.
    Q_INVOKABLE QString removeConversation(int index);
    // The read mark sent for a row, its count cleared.
    Q_INVOKABLE void markRead(int index);
    // After sign-in: the stored conversations, then the kept ones, their online marks, last
    // messages and the unread counts.
    Q_INVOKABLE void loadKept();
    // The conversations kept on this machine merged into the rows; `ask`: new rows ask for
    // their last messages.
    Q_INVOKABLE void showKept(bool ask);
    // Online marks, last records and unread counts asked again (after a reconnection).
    Q_INVOKABLE void refresh();
    // The private rows showing an id get the organisation's name once it is loaded.
    Q_INVOKABLE void nameUnnamed();
    // One line of a message for the list: pictures and files by marker, tags and entities gone.
    Q_INVOKABLE QString previewText(const QString &msg, const QString &msgType) const;

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
    void keepingChanged();
    void openIdChanged();
    void markersChanged();
    // A row's unread count changed (as text, as the frame's counters take it).
    void unreadShown(const QString &ids, const QString &names, const QString &unread,
                     const QString &paths, const QString &types);
    // Somebody else's message for a conversation not on screen, and its preview line.
    void notice(const QString &ids, const QString &types, const QString &names,
                const QString &sender, const QString &msg, const QString &msgType,
                const QString &line);
    // A conversation left the list.
    void removed(const QString &ids);
    // Last records were shown; the list is ordered once they settle.
    void lastShown();
    // The kept conversations were merged and the rows put in order.
    void ordered();

private slots:
    void incoming(const QString &ids, const QString &types, const QString &names,
                  const QString &sender, const QString &msg, const QString &msgType, double stamp,
                  bool fromOther);
    void unreadNums(const QString &ids, int nums, const QString &types, const QString &groupNames);
    void lastMessage(const QString &ids, const QString &contents, const QString &types,
                     const QString &times);

private:
    void connectKeeping();
    bool isOpen(const QString &ids) const { return !m_openId.isEmpty() && ids == m_openId; }
    void keep(const QString &ids, const QString &names, const QString &types) const;
    void askLastRecord(const QString &ids, const QString &types);
    void sendLastRecordRequest();
    QString selfId() const;
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
    bool m_keeping = false;
    QString m_openId;
    QStringList m_markers;
    QString m_systemName;
    QString m_systemTip;
    // Conversations that appear together ask for their last messages in one request.
    QVector<QPair<QString, QString>> m_pendingLast;
    QTimer m_askTimer;
};
