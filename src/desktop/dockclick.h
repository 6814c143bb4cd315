#pragma once

#include <QObject>

// Tells the documents that the user clicked the application's icon in the dock, so the hidden
// main window can come back. Raised on macOS when the running application is activated from
// its icon; other desktops restore the window themselves.
class DockClick : public QObject
{
    Q_OBJECT
public:
    // Created on first use; never destroyed.
    static DockClick *instance();

    // Raises sigDockClick (the platform's click notification arrives here).
    void notifyClick() { emit sigDockClick(); }

signals:
    void sigDockClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DockClick();
};
