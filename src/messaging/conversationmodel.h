#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

#include <functional>

class SocketState;

// The open conversation: one row per message, the newest on row 0 (the view grows upward from
// the bottom, so an older page goes at the far end). Rows are read once from the engine's
// message texts and found by message id through a hash; a message that comes again updates its
// row in place, a later delivery state raises the row's state and never lowers it. What only
// the view knows about a row (an upload's progress, a failure's reason, the local file) stays
// with the row through every update.
class ConversationModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The signed-in user: their messages are the rows with isSelf.
    Q_PROPERTY(QString selfId READ selfId WRITE setSelfId NOTIFY selfIdChanged)
    // The conversation shown and its kind ("2" a person, "3" a group): what storedTexts reads.
    Q_PROPERTY(
        QString conversation READ conversation WRITE setConversation NOTIFY conversationChanged)
    Q_PROPERTY(QString types READ types WRITE setTypes NOTIFY typesChanged)
    // The history panel's pages (the last history reply with what the local history found)
    // instead of the conversation itself: what storedTexts reads.
    Q_PROPERTY(bool history READ history WRITE setHistory NOTIFY historyChanged)
    // Where the conversation's texts come from (the live store with the local history merged in).
    Q_PROPERTY(SocketState *store READ store WRITE setStore NOTIFY storeChanged)
public:
    // (conversation, msgId) -> the local file a file message was saved to, "" for none: the file
    // store lives above this layer, so the file transfers hand their lookup in.
    using SavedFileLookup = std::function<QString(const QString &, const QString &)>;

    enum Role {
        MsgIdRole = Qt::UserRole + 1,
        IdNumRole,
        CreatorRole,
        IsSelfRole,
        MsgTypeRole,
        KindRole,
        SendTimeRole,
        SendStatusRole,
        MsgRole,
        UserNameRole,
        DownloadRole,
        FileTypeRole,
        FailedRole,
        FailTextRole,
        ProgressRole,
        LocalPathRole,
        ShowTimeRole,
        TransientRole,
        LocalRole,
        // The attachment id behind a file message: its download text, or the id in a descriptor.
        AttachmentRole,
        // The icon of a file message's kind of file.
        FileIconRole,
    };
    Q_ENUM(Role)

    enum class Kind : quint8 { Text, File, System };

    struct Row
    {
        QString msgId;
        QString creator;
        QString msgType;
        QString sendTime;
        QString sendStatus;
        QString msg;
        QString userName;
        QString download;
        QString fileType;
        QString failText;
        QString localPath;
        qulonglong idNum = 0;
        // -1 while no transfer is under way, else the fraction done.
        double progress = -1;
        int serial = -1;
        Kind kind = Kind::Text;
        bool isSelf = false;
        bool failed = false;
        bool showTime = false;
        // An own file the engine shows under a registration id while it uploads.
        bool transient = false;
        // Found in this machine's history, not in the service's answer.
        bool local = false;
    };

    // Rows more than this far apart (ms of their ids) show the time between them.
    static constexpr qulonglong timeGapMs = 300000;

    explicit ConversationModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    QString selfId() const { return m_selfId; }
    void setSelfId(const QString &selfId);
    QString conversation() const { return m_conversation; }
    void setConversation(const QString &conversation);
    QString types() const { return m_types; }
    void setTypes(const QString &types);
    bool history() const { return m_history; }
    void setHistory(bool history);
    SocketState *store() const;
    void setStore(SocketState *store);
    void setSavedFileLookup(SavedFileLookup lookup) { m_savedFileOf = std::move(lookup); }
    const Row &row(int index) const { return m_rows.at(index); }

    // One message text as a row's fields (the role names), null for a text that is no message.
    Q_INVOKABLE QVariant rowOf(const QString &text) const;
    // Any JSON object text as a map, empty when it is none.
    Q_INVOKABLE static QVariantMap recordOf(const QString &text);
    // The body of a system card: parsed (false when the body is no JSON), name and content.
    Q_INVOKABLE static QVariantMap systemCard(const QString &msg);
    // The attachment id of a download text ("" for a descriptor that is no JSON object).
    Q_INVOKABLE static QString attachmentOf(const QString &download);
    // The picture for a file of that suffix (with or without its dot, any case).
    Q_INVOKABLE static QString fileIconOf(const QString &suffix);
    // "hh:mm" today, "MM-dd hh:mm" this year, the date and time before.
    Q_INVOKABLE static QString timeLabelOf(const QString &sendTime);
    // The first server picture a shown text links to; with pictures false, the first other link.
    Q_INVOKABLE static QString linkOf(const QString &displayText, bool pictures);
    // Pictures in shown markup no wider than `limit`, their heights scaled with them.
    Q_INVOKABLE static QString fitPictures(const QString &markup, int limit);
    // Pictures in shown markup no wider than `widest`, their heights as they are.
    Q_INVOKABLE static QString capWidths(const QString &markup, double widest);
    // The day ("yyyy-MM-dd", today when empty) `days` later; "" for a day that is none.
    Q_INVOKABLE static QString dayShifted(const QString &day, int days);
    // Pending, sent, read; anything else (failed, unknown) ranks lowest.
    Q_INVOKABLE static int statusRank(const QString &status);

    // The texts the store holds for the conversation (or its history pages), oldest first.
    Q_INVOKABLE QStringList storedTexts() const;
    // The rows anew from texts oldest first; messages sent again are left out.
    Q_INVOKABLE void setRecords(const QStringList &texts);
    // The rows anew from what the store holds, without the texts passing through the document.
    Q_INVOKABLE void load();
    // Everything the store holds for the conversation, merged into the rows: new ones in their
    // place by id (an older page at the far end), known ones only for a later state. Texts
    // merged before and unchanged since are passed over without being read again.
    Q_INVOKABLE void mergeStored();
    Q_INVOKABLE void merge(const QStringList &texts);
    // A message the engine shows now: its row replaced or inserted, or an upload's row taking
    // it. The row it is on, -1 when it shows as no row of its own.
    Q_INVOKABLE int receive(const QString &text);
    // A delivery state the engine reports ("3": every own message up to msgId was read, "4":
    // failed). False when no row has that id.
    Q_INVOKABLE bool setStatus(const QString &msgId, const QString &status);
    // A failure with its reason, kept for a row that comes later too.
    Q_INVOKABLE void markFailed(const QString &msgId, const QString &errors);
    // The message goes again under its own id: pending, its failure forgotten.
    Q_INVOKABLE void retried(const QString &msgId);
    // The message goes again as a new one: its row goes and its old id stays out of the view.
    Q_INVOKABLE void resend(const QString &msgId);
    // A transfer of the row stopped or failed: no progress, failed with that reason.
    Q_INVOKABLE void setTransferFailed(const QString &msgId, const QString &failText);
    // An upload's progress; the row learns the file it sends.
    Q_INVOKABLE void setUploadProgress(const QString &msgId, const QString &localPath,
                                       double progress);
    // The row of a message id, -1 when there is none.
    Q_INVOKABLE int indexOf(const QString &msgId) const;
    // A row's fields by role name, an empty map out of range.
    Q_INVOKABLE QVariantMap get(int index) const;
    // One field by role name, as a QML ListModel takes it (the shared file helpers use it).
    using QObject::setProperty;
    Q_INVOKABLE bool setProperty(int index, const QString &name, const QVariant &value);
    Q_INVOKABLE void clear();

signals:
    void countChanged();
    void selfIdChanged();
    void conversationChanged();
    void typesChanged();
    void historyChanged();
    void storeChanged();

private:
    // False for a text that is no message.
    bool read(const QString &text, Row *row) const;
    QString shared(const QString &word) const;
    QString localPath(const QString &msgId) const;
    int placeRow(Row row, bool full);
    bool adoptUpload(const Row &row);
    void insertRow(int at, Row row);
    void removeRow(int at);
    void reindex(int first, int last);
    void refreshTimeMark(int index);
    void changed(int index, const QVector<int> &roles);
    static quint64 fingerprint(const QString &text);

    QVector<Row> m_rows;
    // Message id to the serial of its row, and each serial's row number (see the news list).
    QHash<QString, int> m_index;
    QVector<int> m_position;
    // Ids of the rows that show an upload under its registration id.
    QSet<QString> m_transient;
    // Messages the user chose to send again, and failures by id.
    QSet<QString> m_resent;
    QHash<QString, QString> m_failures;
    // Senders, kinds, states and names repeat on every row: one copy each.
    mutable QSet<QString> m_words;
    QString m_selfId;
    QString m_conversation;
    QString m_types;
    bool m_history = false;
    // Fingerprints of the texts read since the rows were last set, sorted: what merging them
    // again would not change.
    QVector<quint64> m_seen;
    QPointer<SocketState> m_store;
    SavedFileLookup m_savedFileOf;
};

// Rows are moved in memory when one goes in on top of a long conversation.
Q_DECLARE_TYPEINFO(ConversationModel::Row, Q_MOVABLE_TYPE);
