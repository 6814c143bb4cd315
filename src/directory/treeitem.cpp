#include "treeitem.h"

#include <utility>

TreeItem::TreeItem(QVector<QVariant> columns, TreeItem *parent)
    : m_columns(std::move(columns)), m_parent(parent)
{}

TreeItem::~TreeItem()
{
    qDeleteAll(m_children);
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
