#pragma once

#include <QColor>
#include <QQuickPaintedItem>
#include <QString>

class QPainter;

// The background of one chat message: a rounded rectangle with a triangular tail at the top
// corner on the speaker's side.
class TextBalloon : public QQuickPaintedItem
{
    Q_OBJECT
    Q_PROPERTY(bool rightAligned READ rightAligned WRITE setRightAligned NOTIFY rightAlignedChanged)
    Q_PROPERTY(bool oneSelf READ oneSelf WRITE setOneSelf NOTIFY oneSelfChanged)
    Q_PROPERTY(QString skinColor READ skinColor WRITE setSkinColor NOTIFY skinColorChanged)
public:
    explicit TextBalloon(QQuickItem *parent = nullptr);

    bool rightAligned() const { return m_rightAligned; }
    void setRightAligned(bool rightAligned);

    bool oneSelf() const { return m_oneSelf; }
    void setOneSelf(bool oneSelf);

    QString skinColor() const { return m_skinColor; }
    void setSkinColor(const QString &skinColor);

    // The colour the bubble is filled with for the current properties.
    QColor fillColor() const;

    void paint(QPainter *painter) override;

signals:
    void rightAlignedChanged();
    void oneSelfChanged();
    void skinColorChanged();

private:
    bool m_rightAligned = false;
    bool m_oneSelf = false;
    QString m_skinColor;
};
