#include "treeitem.h"

#include <QVector>

#include <utility>

TreeItem::TreeItem(QVector<QVariant> columns, TreeItem *parent)
    : m_columns(std::move(columns)), m_parent(parent)
{}

TreeItem::~TreeItem()
{
    // A department chain as deep as the server cares to send is taken apart without recursion:
    // each item handed over here has no children left when it is deleted.
    QVector<TreeItem *> pending(m_children.cbegin(), m_children.cend());
    m_children.clear();
    while (!pending.isEmpty()) {
        TreeItem *item = pending.takeLast();
        for (TreeItem *child : qAsConst(item->m_children))
            pending.append(child);
        item->m_children.clear();
        delete item;
    }
}

void TreeItem::appendChild(TreeItem *child)
{
    child->m_parent = this;
    m_children.append(child);
}

void TreeItem::releaseChildren()
{
    for (TreeItem *child : qAsConst(m_children))
        child->m_parent = nullptr;
    m_children.clear();
}

int TreeItem::row() const
{
    if (!m_parent)
        return 0;
    return m_parent->m_children.indexOf(const_cast<TreeItem *>(this));
}
