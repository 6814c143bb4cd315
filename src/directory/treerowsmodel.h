#pragma once

#include <QAbstractListModel>
#include <QJSValue>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <QVector>

class QTreeModel;

// The organisation tree drawn as a list: the rows that can be seen, each with its depth, so only
// the children of open nodes are rows and a large organisation costs only what is open. Opening
// a node inserts its children below it and closing it removes them, never a reset, so the view
// keeps its delegates and its place.
class TreeRowsModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QTreeModel *tree READ tree WRITE setTree NOTIFY treeChanged)
    // "1": the role tree (its nodes are roles, by name); otherwise departments.
    Q_PROPERTY(QString treeTypes READ treeTypes WRITE setTreeTypes NOTIFY treeTypesChanged)
    // Whether a person may be shown (a function of the user id); everyone without it.
    Q_PROPERTY(
        QJSValue personFilter READ personFilter WRITE setPersonFilter NOTIFY personFilterChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role {
        KeyRole = Qt::UserRole + 1,
        NameRole,
        KindRole,
        DepthRole,
        CountRole,
        ExpandedRole,
    };
    Q_ENUM(Role)

    explicit TreeRowsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QTreeModel *tree() const;
    void setTree(QTreeModel *tree);
    QString treeTypes() const { return m_treeTypes; }
    void setTreeTypes(const QString &types);
    QJSValue personFilter() const { return m_personFilter; }
    void setPersonFilter(const QJSValue &filter);
    int count() const { return m_rows.size(); }

    // The top node of the tree shown, open; no rows while the company has no members.
    Q_INVOKABLE void rebuild();
    Q_INVOKABLE void clear();
    // The tree chosen again and rebuilt; while the organisation loads the rows are cleared
    // instead (false), to be filled when it is in.
    Q_INVOKABLE bool reloadTree();
    // No rows, or a top node without members: the tree still wants the organisation.
    Q_INVOKABLE bool isBare() const;
    // A row's fields by role name; an empty map out of range.
    Q_INVOKABLE QVariantMap get(int index) const;
    Q_INVOKABLE bool isOpenable(int index) const;
    Q_INVOKABLE void expand(int index);
    // The row after the rows below `index` (deeper than it).
    Q_INVOKABLE int subtreeEnd(int index) const;
    Q_INVOKABLE void collapse(int index);
    Q_INVOKABLE bool isExpanded(int index) const;
    // The current row once `index` is closed: a row inside it gives way to `index` itself.
    Q_INVOKABLE int currentAfterCollapse(int index, int current) const;
    Q_INVOKABLE void toggle(int index);
    // Opens `index` and the nodes below it, in row order, until about `limit` rows are shown.
    // False out of range.
    Q_INVOKABLE bool expandAllBelow(int index, int limit);
    // Closes everything but the top node.
    Q_INVOKABLE void collapseAll();
    Q_INVOKABLE int parentRow(int index) const;
    // The first row of a person among the rows, or -1.
    Q_INVOKABLE int rowOfPerson(const QString &userId) const;
    // The first row of that kind and name (roles have no id of their own), or -1.
    Q_INVOKABLE int rowNamed(const QString &kind, const QString &name) const;
    // A person row's card text of the tree.
    Q_INVOKABLE QString personInfor(int index) const;

signals:
    void treeChanged();
    void treeTypesChanged();
    void personFilterChanged();
    void countChanged();

private:
    struct Row
    {
        QPersistentModelIndex node;
        QString key;
        QString name;
        QString kind;
        int depth = 0;
        int count = 0;
        bool expanded = false;
    };

    Row rowFor(const QModelIndex &node, int depth) const;
    bool shown(const Row &row) const;
    void setExpanded(int index, bool expanded);

    QPointer<QTreeModel> m_tree;
    QString m_treeTypes = QStringLiteral("2");
    QJSValue m_personFilter;
    QVector<Row> m_rows;
};
