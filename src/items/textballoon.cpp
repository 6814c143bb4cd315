#include "textballoon.h"

#include <QPainter>
#include <QPointF>
#include <QRect>

namespace {
const QString kDefaultSkin = QStringLiteral("#2683F5");
// Under the default skin the other party's bubbles are grey instead of the skin colour.
const QColor kOtherPartyColor(QStringLiteral("#EDEDED"));
constexpr int kTailReach = 10; // how far the tail sticks out beside the body
constexpr qreal kTailWidth = 16;
constexpr qreal kTailHeight = 20;
constexpr qreal kRadius = 6;
} // namespace

TextBalloon::TextBalloon(QQuickItem *parent) : QQuickPaintedItem(parent), m_skinColor(kDefaultSkin)
{}

// Every property repaints: a bubble whose tail or colour changed must not keep showing the old
// one until something unrelated repaints it.
void TextBalloon::setRightAligned(bool rightAligned)
{
    if (m_rightAligned == rightAligned)
        return;
    m_rightAligned = rightAligned;
    update();
    emit rightAlignedChanged();
}

void TextBalloon::setOneSelf(bool oneSelf)
{
    if (m_oneSelf == oneSelf)
        return;
    m_oneSelf = oneSelf;
    update();
    emit oneSelfChanged();
}

void TextBalloon::setSkinColor(const QString &skinColor)
{
    if (m_skinColor == skinColor)
        return;
    m_skinColor = skinColor;
    update();
    emit skinColorChanged();
}

QColor TextBalloon::fillColor() const
{
    if (!m_oneSelf && m_skinColor == kDefaultSkin)
        return kOtherPartyColor;
    return QColor(m_skinColor);
}

void TextBalloon::paint(QPainter *painter)
{
    const qreal w = width();
    const qreal h = height();
    painter->setBrush(QBrush(fillColor()));
    painter->setPen(Qt::NoPen);
    painter->setRenderHint(QPainter::Antialiasing, true);

    // The body stays put whichever side the tail is on. A narrow item has no body at all; a
    // negative width would otherwise mirror it to the left of its origin.
    const QRect body(kTailReach, 0, int(w - 2 * kTailReach), int(h));
    if (body.width() > 0 && body.height() > 0)
        painter->drawRoundedRect(body, kRadius, kRadius, Qt::AbsoluteSize);

    if (m_rightAligned) {
        const QPointF tail[] = {{w - kTailWidth, 0}, {w, 0}, {w - kTailWidth, kTailHeight}};
        painter->drawConvexPolygon(tail, 3);
    } else {
        const QPointF tail[] = {{0, 0}, {kTailWidth, kTailHeight}, {kTailWidth, 0}};
        painter->drawConvexPolygon(tail, 3);
    }
}
