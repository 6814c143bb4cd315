#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The recent search terms of one searchable list, the newest first. Terms are kept in the
// settings of the current server, each under the type of the list that searched it; a list
// shows and clears only its own. The store keeps no order, so terms already shown keep their
// place and new ones go below them.
class SearchHistoryModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The list's own type: "1" the organisation, "2" the conversations, "3" the groups.
    Q_PROPERTY(QString searchTypes READ searchTypes WRITE setSearchTypes NOTIFY searchTypesChanged)
public:
    enum Role { TermRole = Qt::UserRole + 1 };
    Q_ENUM(Role)

    explicit SearchHistoryModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_terms.size(); }
    QString searchTypes() const { return m_searchTypes; }
    void setSearchTypes(const QString &types);
    QStringList terms() const { return m_terms; }

    // Remembers a term on top. The settings file groups keys at "/" and "\", so those become
    // spaces.
    Q_INVOKABLE void add(const QString &text);
    // Follows the store; rows that stay are not touched, so the count only changes with them.
    Q_INVOKABLE void reload();
    Q_INVOKABLE void remove(const QString &term);
    // Forgets every term of this list's type.
    Q_INVOKABLE void clear();
    // The term of a row, empty out of range.
    Q_INVOKABLE QString termAt(int index) const;
    // A row's fields by role name, an empty map out of range.
    Q_INVOKABLE QVariantMap get(int index) const;

signals:
    void countChanged();
    void searchTypesChanged();

private:
    QStringList ownTerms() const;

    QStringList m_terms;
    QString m_searchTypes = QStringLiteral("2");
};
