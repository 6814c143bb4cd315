#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

#include <optional>

class ReminderModuleModel;
class SystemHandl;

// The reminders of one module (or of all), newest first as the server pages them; a page is
// appended to the rows, and a read mark changes its row in place. Rows are found by reminder id.
//
// The requests go out through the want signals, which the document hands to its SystemRequest;
// that takes one request at a time on each channel and drops a second one, so the model keeps
// one in flight per channel: the page wanted while another is out is asked for once that one is
// in, and the read marks wait in queues. After the last mark of a queue the counts are asked for
// again.
class ReminderListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int currentPage READ currentPage NOTIFY pageChanged)
    Q_PROPERTY(int lastPage READ lastPage NOTIFY pageChanged)
    Q_PROPERTY(int totalCount READ totalCount NOTIFY pageChanged)
    Q_PROPERTY(bool hasMore READ hasMore NOTIFY pageChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)
    Q_PROPERTY(bool readModuleBusy READ readModuleBusy NOTIFY readModuleBusyChanged)
    // The module names and counts the rows and the read marks go by.
    Q_PROPERTY(ReminderModuleModel *modules READ modules WRITE setModules NOTIFY modulesChanged)
    // The texts for a page or a mark that failed without a message of the server's.
    Q_PROPERTY(QString loadFailedText MEMBER m_loadFailedText NOTIFY failureTextsChanged)
    Q_PROPERTY(QString markFailedText MEMBER m_markFailedText NOTIFY failureTextsChanged)
public:
    enum Role {
        RemindIdRole = Qt::UserRole + 1,
        SmsMenuRole,
        SmsTypeRole,
        ContentRole,
        SendTimeRole,
        IsReadRole,
        MenuNameRole,
    };
    Q_ENUM(Role)

    explicit ReminderListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    int currentPage() const { return m_currentPage; }
    int lastPage() const { return m_lastPage; }
    int totalCount() const { return m_totalCount; }
    bool hasMore() const { return m_currentPage > 0 && m_currentPage < m_lastPage; }
    bool loading() const { return m_loading; }
    QString errorText() const { return m_errorText; }
    bool readModuleBusy() const { return !m_readModuleInFlight.isEmpty(); }
    ReminderModuleModel *modules() const;
    void setModules(ReminderModuleModel *modules);

    // Page `page` of module `menu` ("all" for every one), unread ones only with `unreadOnly`;
    // the first page starts the rows afresh.
    Q_INVOKABLE void requestPage(const QString &menu, bool unreadOnly, int page);
    // The next page, unless none is left or one is on its way.
    Q_INVOKABLE void loadMore(const QString &menu, bool unreadOnly);
    // A page reply: the body, or "errors".
    Q_INVOKABLE void pageArrived(const QString &contents);
    // The outcome of a request on channel `types` (1 page, 2 one read, 3 a module read).
    Q_INVOKABLE void requestStatus(bool status, int types, const QString &errors);
    Q_INVOKABLE void markRead(int index);
    // The reminder's page of the web client, opened through `handl`; opening it reads it.
    Q_INVOKABLE void openRemind(int index, SystemHandl *handl);
    // Every module of the choice `menu` that has something unread; the chosen module all the
    // same while its count is not known.
    Q_INVOKABLE void markAllRead(const QString &menu);
    // The row of a reminder id, -1 for none.
    Q_INVOKABLE int indexOf(const QString &remindId) const;
    // A row's fields by role name, an empty map out of range.
    Q_INVOKABLE QVariantMap get(int index) const;

signals:
    void countChanged();
    void pageChanged();
    void loadingChanged();
    void errorTextChanged();
    void readModuleBusyChanged();
    void modulesChanged();
    void failureTextsChanged();
    // The requests, in the terms of SystemRequest.
    void pageWanted(const QString &menus, const QString &flags, const QString &pages);
    void readOneWanted(const QString &ids);
    void readModuleWanted(const QString &menu);

private:
    struct Query
    {
        QString menu;
        bool unreadOnly = false;
        int page = 0;
        bool operator==(const Query &o) const
        {
            return menu == o.menu && unreadOnly == o.unreadOnly && page == o.page;
        }
    };
    struct Row
    {
        QString remindId;
        QString smsMenu;
        QString smsType;
        QString content;
        QString sendTime;
        bool isRead = false;
        QString menuName;
    };

    void send(const Query &query);
    // Reads the page into rows; false for a reply without one.
    bool appendPage(const QString &contents, const Query &query);
    void readOneDone(bool ok, const QString &errors);
    void readModuleDone(bool ok, const QString &errors);
    void sendNextReadOne();
    void sendNextReadModule();
    void setRead(int index);
    void setPage(int current, int last, int total);
    void setLoading(bool loading);
    void setErrorText(const QString &text);
    void askCounts();

    QVector<Row> m_rows;
    QHash<QString, int> m_rowOf;
    int m_currentPage = 0;
    int m_lastPage = 0;
    int m_totalCount = 0;
    bool m_loading = false;
    QString m_errorText;
    QString m_listFailure;
    QString m_loadFailedText;
    QString m_markFailedText;
    QPointer<ReminderModuleModel> m_modules;

    std::optional<Query> m_listInFlight;
    std::optional<Query> m_listWanted;
    QStringList m_readOneQueue;
    QString m_readOneInFlight;
    QStringList m_readModuleQueue;
    QString m_readModuleInFlight;
};
