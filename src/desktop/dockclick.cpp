#include "dockclick.h"

#include <QCoreApplication>
#include <QEvent>

DockClick *DockClick::instance()
{
    static DockClick *notifier = new DockClick;
    return notifier;
}

DockClick::DockClick()
{
#ifdef Q_OS_MACOS
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
#endif
}

bool DockClick::eventFilter(QObject *watched, QEvent *event)
{
    // A click on the dock icon of a running application arrives as an activation.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationActivate)
        notifyClick();
    return QObject::eventFilter(watched, event);
}
