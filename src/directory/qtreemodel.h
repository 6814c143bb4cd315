#pragma once

#include "directory/treeitem.h"
#include "records/memberrecord.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QMultiMap>
#include <QString>

#include <memory>

// The organisation as a tree for the documents' tree view: a department tree (company,
// departments, their users) and a role tree (company, roles, the users holding each), built
// when HandlOrganization announces completion. reLoadData chooses the tree shown; findDepth
// and findRoles show either tree narrowed to the users whose name contains a text.
//
// Every change of the shown tree is a model reset, so a view never holds an index into a
// freed node. While the organisation loads (behind the window, after sign-in) `loading` is
// true; it turns false once the trees hold the completed organisation, which are built on the
// thread pool. Otherwise GUI thread only.
class QTreeModel : public QAbstractItemModel
{
    Q_OBJECT
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
public:
    enum Roles {
        NodeSelectStateRole = Qt::UserRole + 1, // dept_id / user_id / "0"
        NodeNameRole,                           // department, user, role or company name
        NodeNameInforRole,                      // a user's card as one-line JSON
    };

    explicit QTreeModel(QObject *parent = nullptr);
    ~QTreeModel() override;

    Q_INVOKABLE QAbstractItemModel *model();
    bool loading() const;
    // "1" shows the role tree, "2" the department tree; anything else changes nothing.
    Q_INVOKABLE void reLoadData(const QString &infors);
    Q_INVOKABLE void findDepth(const QString &infors);
    Q_INVOKABLE void findRoles(const QString &infors);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    // A user's card: the indented JSON object of user_name, dept_name, email, phone_number,
    // commpanyName, address, zipCode and role_name (every role name followed by a blank), with
    // its line feeds and tabs removed.
    static QString userInforText(const MemberRecord &user, const QString &companyName,
                                 const QString &address, const QString &zipCode);

signals:
    void loadingChanged();

public slots:
    void onSigHandlCompletion();

private:
    // What the trees of one build are made from; the builders touch nothing else, so the trees
    // of a completed load can be built on the thread pool.
    struct Source
    {
        QString companyName;
        QString address;
        QString zipCode;
        // Cards are the same in every tree of one build, so each is written once.
        QHash<const MemberRecord *, QString> cards;
    };
    struct Built;

    static std::unique_ptr<TreeItem> makeTopNode(const Source &source);
    static TreeItem *makeUserNode(Source &source, const MemberRecord *user);
    // Appends `records` below `parent`: departments with their subtrees, and the users whose
    // name contains `filter` (all users when it is empty).
    static void appendDepartmentTree(Source &source, const QList<MemberRecord *> &records,
                                     TreeItem *parent, const QString &filter);
    // The role tree; with `dropEmpty`, roles without a matching user are left out.
    static std::unique_ptr<TreeItem> buildRoleTree(Source &source,
                                                   const QMultiMap<QString, MemberRecord *> &index,
                                                   const QString &filter, bool dropEmpty);
    // Both trees of the organisation as loaded now.
    static std::shared_ptr<Built> buildAll(Source source, const QList<MemberRecord *> &members,
                                           const QMultiMap<QString, MemberRecord *> &index);
    // Builds both trees on the thread pool after a completed load; loading stays true until
    // they are in place.
    void rebuildBehind();
    void takeBuilt(Built &built);
    // Shows `top` (owned by the model, not by the root) below a fresh root. Call between
    // beginResetModel() and endResetModel().
    void showTop(TreeItem *top);
    // Keeps `old` alive while the root still shows it; deletes it otherwise.
    void retire(std::unique_ptr<TreeItem> old);
    TreeItem *shownTop() const;

    QHash<int, QByteArray> m_roleNames;
    std::unique_ptr<TreeItem> m_root;
    std::unique_ptr<TreeItem> m_departments;
    std::unique_ptr<TreeItem> m_filteredDepartments;
    std::unique_ptr<TreeItem> m_roles;
    std::unique_ptr<TreeItem> m_filteredRoles;
    // A replaced tree the root still shows, freed when the root changes.
    std::unique_ptr<TreeItem> m_retired;
    QString m_departmentSearch;
    QString m_roleSearch;
    Source m_source;
    // Counts builds, so only the latest one behind the window is taken.
    int m_builds = 0;
    bool m_building = false;
};
