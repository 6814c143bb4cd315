#include "compositionwatch.h"

#include "logging.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QWindow>

#ifdef TARNEX_HAVE_X11EXTRAS
#include <QX11Info>
#endif

namespace {
// The selection owner is one round trip to the X server: cheap enough to ask this often.
constexpr int kPollMs = 2000;

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}
} // namespace

CompositionWatch::CompositionWatch(QObject *parent) : QObject(parent)
{
    m_composited = platformComposes();
    if (onX11()) {
        m_poll.setInterval(kPollMs);
        connect(&m_poll, &QTimer::timeout, this, &CompositionWatch::check);
        m_poll.start();
    }
}

bool CompositionWatch::platformComposes()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
#ifdef TARNEX_HAVE_X11EXTRAS
        return QX11Info::isCompositingManagerRunning();
#else
        return false;
#endif
    }
    return platform.startsWith(QLatin1String("wayland")) || platform == QLatin1String("windows") ||
           platform == QLatin1String("cocoa");
}

void CompositionWatch::check()
{
    const bool now = platformComposes();
    if (now == m_composited)
        return;
    m_composited = now;
    qCInfo(lcDesktop) << "window composition:" << (now ? "on" : "off");
    emit compositedChanged();
}

void CompositionWatch::shapeWindow(QWindow *window, qreal radius) const
{
    if (!window)
        return;
    if (radius <= 0) {
        window->setMask(QRegion());
        return;
    }
    QPainterPath outline;
    outline.addRoundedRect(QRectF(QPointF(0, 0), window->size()), radius, radius);
    window->setMask(QRegion(outline.toFillPolygon().toPolygon()));
}
