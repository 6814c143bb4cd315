#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

// The screenshot tool's window: shows a picture of the screen, lets the user drag a rectangle
// over it and hands that part of the picture back. Escape or the right button cancel.
class ScreenSelector : public QWidget
{
    Q_OBJECT
public:
    explicit ScreenSelector(const QPixmap &screen, QWidget *parent = nullptr);

    // The selection in widget coordinates (empty while nothing is chosen).
    QRect selection() const { return m_selection; }
    // The part of the screen picture under a rectangle given in widget coordinates.
    QPixmap pictureOf(const QRect &area) const;

signals:
    void pictureChosen(const QPixmap &picture);
    void cancelled();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPixmap m_screen;
    QPoint m_anchor;
    QRect m_selection;
    bool m_dragging = false;
};
