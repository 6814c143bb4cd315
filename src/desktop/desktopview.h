#pragma once

#include <QPixmap>
#include <QQuickPaintedItem>

// Shows one rectangle of a picture of the whole primary screen, unscaled, at the item's origin.
class DesktopView : public QQuickPaintedItem
{
    Q_OBJECT
public:
    explicit DesktopView(QQuickItem *parent = nullptr);

    // Keeps the rectangle, grabs the screen again and repaints.
    Q_INVOKABLE void grabImage(int x, int y, int width, int height);
    // Grabs the screen again for the same rectangle and repaints.
    Q_INVOKABLE void reflushImage();

    void paint(QPainter *painter) override;

    QPixmap screenPicture() const { return m_picture; }
    QRect shownRect() const { return QRect(m_x, m_y, m_width, m_height); }

protected:
    // The whole primary screen.
    virtual QPixmap grabScreenPicture() const;

private:
    void grabScreen();

    QPixmap m_picture;
    int m_x = 0;
    int m_y = 0;
    int m_width = 0;
    int m_height = 0;
};
