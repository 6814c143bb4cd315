#pragma once

#include <QList>
#include <QVariant>
#include <QVector>

// A node of QTreeModel's trees: its columns, its children (owned: deleting a node deletes its
// subtree) and a pointer to its parent.
class TreeItem
{
public:
    explicit TreeItem(QVector<QVariant> columns, TreeItem *parent = nullptr);
    ~TreeItem();
    TreeItem(const TreeItem &) = delete;
    TreeItem &operator=(const TreeItem &) = delete;

    // Takes ownership of `child` and becomes its parent.
    void appendChild(TreeItem *child);
    // Gives up the children without deleting them.
    void releaseChildren();

    TreeItem *child(int row) const { return m_children.value(row); }
    int childCount() const { return m_children.size(); }
    int columnCount() const { return m_columns.size(); }
    QVariant data(int column) const { return m_columns.value(column); }
    TreeItem *parentItem() const { return m_parent; }
    // Position among the parent's children; 0 without a parent.
    int row() const;

private:
    QVector<QVariant> m_columns;
    QList<TreeItem *> m_children;
    TreeItem *m_parent;
};
