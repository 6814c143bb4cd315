#pragma once

#include <QImage>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QUrl>

class QNetworkReply;

// A picture cut to a disc: an avatar or a group's picture. It is masked with QPainter, so the
// OpenGL and the software renderer show the same round picture. The rounded result is kept in
// a cache shared by all items, keyed by the address and the size in device pixels. A picture
// that does not load (or is too large to accept) gives way to the fallback.
class RoundPicture : public QQuickPaintedItem
{
    Q_OBJECT
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(QUrl fallback READ fallback WRITE setFallback NOTIFY fallbackChanged)
    // The colour of the disc while nothing is drawn yet (and behind a see-through picture).
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    // Whether a picture (the source or the fallback) is drawn.
    Q_PROPERTY(bool ready READ ready NOTIFY readyChanged)
    // Whether the source itself is drawn, not the fallback.
    Q_PROPERTY(bool sourceShown READ sourceShown NOTIFY readyChanged)
public:
    explicit RoundPicture(QQuickItem *parent = nullptr);
    ~RoundPicture() override;

    QUrl source() const { return m_source; }
    void setSource(const QUrl &source);
    QUrl fallback() const { return m_fallback; }
    void setFallback(const QUrl &fallback);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    bool ready() const { return !m_disc.isNull(); }
    bool sourceShown() const;

    void paint(QPainter *painter) override;

    // Bytes a fetched picture may have, and the largest picture decoded.
    static constexpr qint64 maximumBytes = 8 * 1024 * 1024;
    static constexpr int maximumSide = 8192;
    // The disc of a picture's bytes at a side of `side` device pixels: the picture is centred,
    // scaled to cover the square and cut to a circle. Null when the bytes are not a picture
    // this accepts.
    static QImage discFrom(const QByteArray &bytes, int side);
    // Empties the cache shared by all items (a sign-out: the next account's pictures load anew).
    static void clearCache();

signals:
    void sourceChanged();
    void fallbackChanged();
    void colorChanged();
    void readyChanged();

protected:
    void geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    QUrl resolved(const QUrl &url) const;
    QUrl wanted() const;
    int sideInPixels() const;
    void reload();
    void load(const QUrl &url);
    void finish(const QUrl &url, const QByteArray &bytes);
    void show(const QUrl &url, const QImage &disc);
    void dropReply();

    QUrl m_source;
    QUrl m_fallback;
    QUrl m_shown;
    QColor m_color = Qt::transparent;
    QImage m_disc;
    QPointer<QNetworkReply> m_reply;
};
