#include "roundpicture.h"

#include <QBuffer>
#include <QCache>
#include <QFile>
#include <QFutureWatcher>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPainterPath>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QtConcurrent>

#include <cmath>

namespace {

// A fetched picture that does not arrive within this time gives way to the fallback.
constexpr int kTransferTimeoutMs = 15000;

// Rounded pictures by address and side: a list of forty avatars decodes each one once.
QCache<QString, QImage> &discCache()
{
    static QCache<QString, QImage> cache(24 * 1024 * 1024);
    return cache;
}

QString cacheKey(const QUrl &url, int side)
{
    return url.toString() + QLatin1Char('@') + QString::number(side);
}

bool isLocal(const QUrl &url)
{
    return url.scheme() == QLatin1String("qrc") || url.isLocalFile();
}

QByteArray readLocal(const QUrl &url)
{
    QFile file(url.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + url.path()
                                                    : url.toLocalFile());
    if (!file.open(QIODevice::ReadOnly) || file.size() > RoundPicture::maximumBytes)
        return {};
    return file.readAll();
}

} // namespace

RoundPicture::RoundPicture(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

RoundPicture::~RoundPicture()
{
    dropReply();
}

void RoundPicture::setSource(const QUrl &source)
{
    if (source == m_source)
        return;
    m_source = source;
    emit sourceChanged();
    reload();
}

void RoundPicture::setFallback(const QUrl &fallback)
{
    if (fallback == m_fallback)
        return;
    m_fallback = fallback;
    emit fallbackChanged();
    if (!sourceShown())
        reload();
}

void RoundPicture::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    emit colorChanged();
    update();
}

void RoundPicture::clearCache()
{
    discCache().clear();
}

QImage RoundPicture::discFrom(const QByteArray &bytes, int side)
{
    if (bytes.isEmpty() || bytes.size() > maximumBytes || side <= 0 || side > maximumSide)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > maximumSide ||
        size.height() > maximumSide)
        return {};
    // Decoded straight at the size that covers the square, so a large picture costs little.
    const qreal scale = qreal(side) / qMin(size.width(), size.height());
    reader.setScaledSize(QSize(qMax(side, int(std::ceil(size.width() * scale))),
                               qMax(side, int(std::ceil(size.height() * scale)))));
    const QImage picture = reader.read();
    if (picture.isNull())
        return {};
    QImage disc(side, side, QImage::Format_ARGB32_Premultiplied);
    disc.fill(Qt::transparent);
    QPainter painter(&disc);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, side, side));
    painter.setClipPath(circle);
    painter.drawImage(QPointF((side - picture.width()) / 2.0, (side - picture.height()) / 2.0),
                      picture);
    return disc;
}

void RoundPicture::paint(QPainter *painter)
{
    painter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const qreal side = qMin(width(), height());
    const QRectF square((width() - side) / 2, (height() - side) / 2, side, side);
    if (m_color.alpha() > 0) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(m_color);
        painter->drawEllipse(square);
    }
    if (!m_disc.isNull())
        painter->drawImage(square, m_disc);
}

void RoundPicture::geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickPaintedItem::geometryChanged(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        reload();
}

void RoundPicture::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickPaintedItem::itemChange(change, value);
    if (change == ItemSceneChange || change == ItemDevicePixelRatioHasChanged)
        reload();
}

QUrl RoundPicture::resolved(const QUrl &url) const
{
    QQmlContext *context = qmlContext(this);
    return context && !url.isEmpty() ? context->resolvedUrl(url) : url;
}

QUrl RoundPicture::wanted() const
{
    return resolved(m_source.isEmpty() ? m_fallback : m_source);
}

bool RoundPicture::sourceShown() const
{
    return ready() && !m_source.isEmpty() && m_shown == resolved(m_source);
}

int RoundPicture::sideInPixels() const
{
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    return int(std::ceil(qMin(width(), height()) * ratio));
}

void RoundPicture::reload()
{
    if (!isComponentComplete())
        return;
    load(wanted());
}

void RoundPicture::load(const QUrl &url)
{
    dropReply();
    const int side = sideInPixels();
    if (url.isEmpty() || side <= 0) {
        show(url, {});
        return;
    }
    if (const QImage *cached = discCache().object(cacheKey(url, side))) {
        show(url, *cached);
        return;
    }
    if (isLocal(url)) {
        finish(url, readLocal(url));
        return;
    }
    QQmlEngine *engine = qmlEngine(this);
    if (!engine ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        finish(url, {});
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = engine->networkAccessManager()->get(request);
    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > maximumBytes || total > maximumBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, url] {
        reply->deleteLater();
        if (reply != m_reply)
            return;
        m_reply.clear();
        finish(url, reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray());
    });
}

void RoundPicture::finish(const QUrl &url, const QByteArray &bytes)
{
    const int side = sideInPixels();
    // Decoding may take a moment for a large picture: it runs beside the GUI thread.
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, url, side] {
        watcher->deleteLater();
        const QImage disc = watcher->result();
        const QUrl fallback = resolved(m_fallback);
        if (side != sideInPixels() || (url != wanted() && url != fallback))
            return; // superseded meanwhile
        if (disc.isNull()) {
            if (url != fallback && !fallback.isEmpty())
                load(fallback);
            else
                show(url, {});
            return;
        }
        discCache().insert(cacheKey(url, side), new QImage(disc), int(disc.sizeInBytes()));
        show(url, disc);
    });
    watcher->setFuture(QtConcurrent::run([bytes, side] { return discFrom(bytes, side); }));
}

void RoundPicture::show(const QUrl &url, const QImage &disc)
{
    const bool wasReady = ready();
    const bool wasShown = sourceShown();
    m_shown = url;
    m_disc = disc;
    update();
    if (wasReady != ready() || wasShown != sourceShown())
        emit readyChanged();
}

void RoundPicture::dropReply()
{
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply.clear();
        reply->abort();
    }
}
