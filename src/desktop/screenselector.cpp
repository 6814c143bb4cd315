#include "screenselector.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// A click without a drag chooses nothing.
constexpr int kMinimumSide = 2;

// The rectangle spanned by a drag from `a` to `b`: dragging 40 pixels selects 40 pixels.
QRect spanned(const QPoint &a, const QPoint &b)
{
    return QRect(qMin(a.x(), b.x()), qMin(a.y(), b.y()), qAbs(b.x() - a.x()), qAbs(b.y() - a.y()));
}

} // namespace

ScreenSelector::ScreenSelector(const QPixmap &screen, QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_screen(screen)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
}

QPixmap ScreenSelector::pictureOf(const QRect &area) const
{
    // The picture has device pixels; the widget works in logical ones.
    const qreal ratio = m_screen.devicePixelRatio();
    const QRect pixels(qRound(area.x() * ratio), qRound(area.y() * ratio),
                       qRound(area.width() * ratio), qRound(area.height() * ratio));
    QPixmap part = m_screen.copy(pixels);
    part.setDevicePixelRatio(1.0);
    return part;
}

void ScreenSelector::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_screen);
    // Dim everything but the selection.
    QRegion shade(rect());
    if (!m_selection.isEmpty())
        shade -= QRegion(m_selection);
    painter.setClipRegion(shade);
    painter.fillRect(rect(), QColor(0, 0, 0, 110));
    painter.setClipping(false);
    if (!m_selection.isEmpty()) {
        painter.setPen(QPen(QColor(0x1e, 0x90, 0xff), 1));
        painter.drawRect(m_selection.adjusted(0, 0, -1, -1));
    }
}

void ScreenSelector::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        emit cancelled();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_anchor = event->pos();
    m_selection = QRect();
    update();
}

void ScreenSelector::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    m_selection = spanned(m_anchor, event->pos()) & rect();
    update();
}

void ScreenSelector::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_dragging)
        return;
    m_dragging = false;
    m_selection = spanned(m_anchor, event->pos()) & rect();
    update();
    if (m_selection.width() < kMinimumSide || m_selection.height() < kMinimumSide) {
        m_selection = QRect();
        return;
    }
    emit pictureChosen(pictureOf(m_selection));
}

void ScreenSelector::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        emit cancelled();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !m_selection.isEmpty()) {
        emit pictureChosen(pictureOf(m_selection));
        return;
    }
    QWidget::keyPressEvent(event);
}
