#pragma once

#include "reminders/menuentry.h"

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <QVector>

// The module menu of MenuModel as the rows of a tree view: each menu with its depth, the open
// menus' entries below them. Opening a menu inserts its visible descendants, closing removes
// them, so the view keeps its other rows and its current one. A search shows instead the
// menus at any depth whose name or initials hold the text, with the path to them. The tiles
// of the common functions and of the chosen menu come from the same tree.
class ModuleTreeModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    // The menu whose entries the tiles show; "" shows every top-level menu.
    Q_PROPERTY(QString chosenId READ chosenId WRITE setChosenId NOTIFY chosenChanged)
    Q_PROPERTY(QString chosenName READ chosenName NOTIFY chosenChanged)
    Q_PROPERTY(QVariantList chosenTiles READ chosenTiles NOTIFY chosenChanged)
    // The entries opened last, newest first; before any, the first entries of the menu.
    Q_PROPERTY(QStringList commonIds READ commonIds NOTIFY commonChanged)
    Q_PROPERTY(QVariantList commonTiles READ commonTiles NOTIFY commonChanged)
public:
    enum Role {
        MenuIdRole = Qt::UserRole + 1,
        NameRole,
        PathRole,
        DepthRole,
        HasChildrenRole,
        ExpandedRole,
        IconRole,
    };
    Q_ENUM(Role)

    static constexpr int maxCommon = 8;

    explicit ModuleTreeModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    QString chosenId() const { return m_chosenId; }
    void setChosenId(const QString &menuId);
    QString chosenName() const;
    QVariantList chosenTiles() const;
    QStringList commonIds() const { return m_commonIds; }
    QVariantList commonTiles() const;

    // The tree again from MenuModel; open menus stay open, a chosen menu that is gone is
    // forgotten.
    Q_INVOKABLE void reload();
    // reload() and search(): the row that `currentRow`'s menu has afterwards (the first row
    // when it shows no more, -1 when there are none), so the view stays on its menu.
    Q_INVOKABLE int reloadKeeping(int currentRow);
    Q_INVOKABLE int search(const QString &text, int currentRow);
    // A row activated: a menu with entries becomes the chosen one and, unless searching, opens
    // or closes; an entry's id is given back for opening, "" otherwise.
    Q_INVOKABLE QString activateRow(int index);
    // Whether a menu is an entry that opens a page; a menu with entries becomes the chosen one
    // instead.
    Q_INVOKABLE bool opensPage(const QString &menuId);
    Q_INVOKABLE bool isEmpty() const { return m_top.isEmpty(); }
    // False when nothing changed (no such menu, no entries, already so).
    Q_INVOKABLE bool setExpanded(const QString &menuId, bool open);
    Q_INVOKABLE bool contains(const QString &menuId) const;
    Q_INVOKABLE bool menuHasChildren(const QString &menuId) const;
    Q_INVOKABLE bool isExpanded(const QString &menuId) const;
    // The top-level menu a menu belongs to.
    Q_INVOKABLE QString moduleOf(const QString &menuId) const;
    // The row of a menu, -1 when it shows none.
    Q_INVOKABLE int indexOf(const QString &menuId) const;
    // A row's fields by role name, an empty map out of range.
    Q_INVOKABLE QVariantMap get(int index) const;
    // The common functions of the stored list (a JSON array of menu ids).
    Q_INVOKABLE void loadCommon(const QString &stored);
    // The stored list with `menuId` first, as it is to be stored.
    Q_INVOKABLE QString remembered(const QString &stored, const QString &menuId) const;
    // The module picture for a menu whose own icon does not load.
    Q_INVOKABLE QString fallbackIcon(const QString &name) const;

signals:
    void countChanged();
    void searchTextChanged();
    void chosenChanged();
    void commonChanged();

private:
    struct Node
    {
        QString id;
        QString name;
        QString zm;
        QString moduleId;
        QString path;
        QVector<int> children;
    };
    struct Row
    {
        int node = -1;
        int depth = 0;
        QString icon;
    };

    QString menuIdAt(int row) const;
    int keptRow(const QString &menuId) const;
    int addNode(const MenuEntry &entry, const QString &moduleId, const QString &path);
    int nodeOf(const QString &menuId) const;
    // The rows for the current search, or the tree with its open menus.
    QVector<Row> buildRows();
    void appendBranch(QVector<Row> &rows, int node, int depth);
    Row rowFor(int node, int depth);
    void reindex(int from);
    void setRows(QVector<Row> rows);
    void collectLeaves(const QVector<int> &nodes, QStringList &ids) const;
    QVariantList tiles(const QStringList &ids, const QString &prefix) const;
    // The menu's own picture or a shared one, asked for once per name: the shared ones are
    // handed out in turn.
    QString iconOf(const QString &name) const;

    QVector<Node> m_nodes;
    QVector<int> m_top;
    QHash<QString, int> m_byId;
    QSet<QString> m_expanded;
    QVector<Row> m_rows;
    QHash<QString, int> m_rowOf;
    QString m_searchText;
    QString m_chosenId;
    QStringList m_commonIds;
    mutable QHash<QString, QString> m_icons;
};
