#include "expandableaccessible.h"

#include <QAccessible>
#include <QMetaProperty>
#include <QObject>
#include <QQuickItem>

#include <QtQuick/private/qaccessiblequickitem_p.h>

namespace {

const char expandableName[] = "accessibleExpandable";
const char expandedName[] = "accessibleExpanded";

class ExpandableRow : public QAccessibleQuickItem
{
public:
    using QAccessibleQuickItem::QAccessibleQuickItem;

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleQuickItem::state();
        const QObject *row = object();
        state.expandable = row->property(expandableName).toBool();
        state.expanded = state.expandable && row->property(expandedName).toBool();
        state.collapsed = state.expandable && !state.expanded;
        return state;
    }
};

// Tells readers that a row opened or closed, as a tree of widgets does.
class ExpandedRelay : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

public Q_SLOTS:
    void changed()
    {
        QObject *row = sender();
        if (!row || !QAccessible::isActive())
            return;
        QAccessible::State changes;
        changes.expanded = true;
        changes.collapsed = true;
        QAccessibleStateChangeEvent event(row, changes);
        QAccessible::updateAccessibility(&event);
    }
};

ExpandedRelay *relay()
{
    static ExpandedRelay instance;
    return &instance;
}

QAccessibleInterface *expandableRowFactory(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item)
        return nullptr;
    const QMetaObject *meta = object->metaObject();
    const int expandable = meta->indexOfProperty(expandableName);
    const int expanded = meta->indexOfProperty(expandedName);
    if (expandable < 0 || expanded < 0)
        return nullptr;
    const QMetaProperty property = meta->property(expanded);
    if (property.hasNotifySignal()) {
        const int slot = relay()->metaObject()->indexOfSlot("changed()");
        QObject::connect(object, property.notifySignal(), relay(),
                         relay()->metaObject()->method(slot), Qt::UniqueConnection);
    }
    return new ExpandableRow(item);
}

} // namespace

void ExpandableAccessible::install()
{
    QAccessible::installFactory(expandableRowFactory);
}

#include "expandableaccessible.moc"
