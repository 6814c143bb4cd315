#include "codepainter.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace {
// Unpainted strip at the right and bottom edges.
constexpr qreal kMargin = 10;
} // namespace

CodePainter::CodePainter(QQuickItem *parent) : QQuickPaintedItem(parent) {}

CodePainter::~CodePainter() = default;

void CodePainter::generateString(QString str)
{
    m_text = std::move(str);
    m_symbol.reset();
    const QByteArray utf8 = m_text.toUtf8();
    // Null when the text does not fit (version 40 at level L) or is empty.
    m_symbol.reset(QRcode_encodeString(utf8.constData(), 1, QR_ECLEVEL_L, QR_MODE_8, 1));
    update();
    emit symbolChanged();
}

void CodePainter::paint(QPainter *painter)
{
    painter->setBrush(Qt::white);
    painter->setPen(Qt::NoPen);
    if (!m_symbol)
        return;

    const int modules = std::max(1, m_symbol->width);
    const int width = int(this->width() - kMargin);
    const int height = int(this->height() - kMargin);
    const int moduleWidth = width / modules;
    const int moduleHeight = height / modules;
    // Smaller than one pixel per module (or smaller than the margin): nothing readable to draw.
    if (moduleWidth <= 0 || moduleHeight <= 0)
        return;

    // A QImage rather than a pixmap: the scene graph may call paint() off the GUI thread.
    QImage picture(modules * moduleWidth, modules * moduleHeight, QImage::Format_RGB32);
    {
        QPainter modulePainter(&picture);
        modulePainter.fillRect(QRect(0, 0, width, height), Qt::white);
        const unsigned char *data = m_symbol->data;
        for (int y = 0; y < modules; ++y) {
            for (int x = 0; x < modules; ++x) {
                // Filled without an outline: a stroked rectangle would spill one pixel into
                // the next module, which at one pixel per module darkens a light module.
                if (data[y * modules + x] & 1)
                    modulePainter.fillRect(
                        QRect(x * moduleWidth, y * moduleHeight, moduleWidth, moduleHeight),
                        Qt::black);
            }
        }
    }
    // Stretching must keep module edges sharp for readers.
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(QRect(0, 0, width, height), picture);
}
