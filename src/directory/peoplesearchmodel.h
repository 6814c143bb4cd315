#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

class TreeModelitem;

// The people of the organisation found by a name search. It asks the server itself and reads
// the reply once: {list: [{user_id, user_name, dept_name, position, phone_number, email,
// roles: [{role_name}]}], total}, or the bare list. Only the latest search reports; an answer
// after the search was cleared is dropped. Unreadable replies are an empty result with
// `failed` set, never an error on screen.
class PeopleSearchModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The text the rows are for, and the one still being asked for.
    Q_PROPERTY(QString searchText READ searchText NOTIFY searchTextChanged)
    Q_PROPERTY(QString pending READ pending NOTIFY pendingChanged)
    Q_PROPERTY(bool searching READ searching NOTIFY pendingChanged)
    // The last reply could not be read (or never came).
    Q_PROPERTY(bool failed READ failed NOTIFY failedChanged)
    // Keep to the colleagues the signed-in user may see.
    Q_PROPERTY(bool visibleOnly READ visibleOnly WRITE setVisibleOnly NOTIFY visibleOnlyChanged)
public:
    enum Role {
        UserIdRole = Qt::UserRole + 1,
        UserNameRole,
        DeptNameRole,
        PositionRole,
        PhoneRole,
        EmailRole,
        RolesRole,
        OnlineRole,
    };
    Q_ENUM(Role)

    struct Row
    {
        QString userId;
        QString userName;
        QString deptName;
        QString position;
        QString phone;
        QString email;
        QString roles;
        bool online = false;
    };

    // A search that matches half the company is not read further.
    static constexpr int maxRows = 500;
    static constexpr int maxReplyBytes = 4 * 1024 * 1024;

    explicit PeopleSearchModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    QString searchText() const { return m_searchText; }
    QString pending() const { return m_pending; }
    bool searching() const { return !m_pending.isEmpty(); }
    bool failed() const { return m_failed; }
    bool visibleOnly() const { return m_visibleOnly; }
    void setVisibleOnly(bool only);
    const Row &row(int index) const { return m_rows.at(index); }

    // Asks for the people whose name (or its pinyin) holds the text; an empty text clears.
    Q_INVOKABLE void search(const QString &text);
    Q_INVOKABLE void clear();
    // A row's fields by role name, an empty map out of range.
    Q_INVOKABLE QVariantMap get(int index) const;
    // The reply of the search asked last; ignored when none is pending.
    Q_INVOKABLE void answer(const QString &contents);
    // The rows of a reply, replacing the shown ones; false when it could not be read.
    Q_INVOKABLE bool showReply(const QString &contents);
    // A row as a card: {userId, name, dept, roles, phone, email, position}; empty out of range.
    Q_INVOKABLE QVariantMap person(int index) const;
    // A person of a tree, from the card text of the row, the same shape plus the company.
    Q_INVOKABLE static QVariantMap treePerson(const QString &userId, const QString &name,
                                              const QString &infor, const QString &company);
    // Whether a person may be shown: everyone until the visible-user list (which always holds
    // the signed-in user) is in.
    Q_INVOKABLE static bool mayShow(const QString &userId);
    Q_INVOKABLE void setOnline(const QStringList &ids, bool online);

signals:
    void countChanged();
    void searchTextChanged();
    void pendingChanged();
    void failedChanged();
    void visibleOnlyChanged();
    // A search's answer is shown.
    void finished();

private:
    void setRows(QVector<Row> rows);
    void setPending(const QString &text);
    void setSearchText(const QString &text);
    void setFailed(bool failed);

    QVector<Row> m_rows;
    QString m_searchText;
    QString m_pending;
    bool m_failed = false;
    bool m_visibleOnly = false;
    TreeModelitem *m_finder = nullptr;
};
