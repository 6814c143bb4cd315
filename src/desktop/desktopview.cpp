#include "desktopview.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

DesktopView::DesktopView(QQuickItem *parent) : QQuickPaintedItem(parent) {}

void DesktopView::grabImage(int x, int y, int width, int height)
{
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
    grabScreen();
}

void DesktopView::reflushImage()
{
    grabScreen();
}

QPixmap DesktopView::grabScreenPicture() const
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0, 0, 0, -1, -1) : QPixmap();
}

void DesktopView::grabScreen()
{
    m_picture = grabScreenPicture();
    update();
}

void DesktopView::paint(QPainter *painter)
{
    if (m_picture.isNull() || m_width <= 0 || m_height <= 0)
        return;
    painter->drawPixmap(0, 0, m_picture, m_x, m_y, m_width, m_height);
}
