#pragma once

#include <QObject>
#include <QTimer>

class QWindow;

// Whether a compositing manager draws the desktop, so that a window's see-through pixels show
// what lies beneath rather than black. The frameless window rounds its corners only then.
// Wayland, Windows and macOS always compose; on X11 the owner of the _NET_WM_CM_S<screen>
// selection is the compositor, and it is asked again every few seconds, so the window follows
// a compositor that starts or ends. Other platforms (offscreen, VNC) count as not composing.
class CompositionWatch : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool composited READ composited NOTIFY compositedChanged)
public:
    explicit CompositionWatch(QObject *parent = nullptr);

    bool composited() const { return m_composited; }

    // Cuts the window to a rectangle with corners of this radius, so that what its panes draw
    // at the corners does not show; a radius of 0 removes the cut.
    Q_INVOKABLE void shapeWindow(QWindow *window, qreal radius) const;

    // What the platform says now.
    static bool platformComposes();

signals:
    void compositedChanged();

private:
    void check();

    bool m_composited = false;
    QTimer m_poll;
};
