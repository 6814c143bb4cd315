#include "testenvironment.h"

#include "items/codepainter.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <qrencode.h>

#include <memory>

namespace {

struct Symbol
{
    std::unique_ptr<QRcode, void (*)(QRcode *)> code{nullptr, QRcode_free};
};

// The library's own matrix for a text, with the parameters the item must use.
Symbol referenceSymbol(const QString &text)
{
    Symbol s;
    s.code.reset(QRcode_encodeString(text.toUtf8().constData(), 1, QR_ECLEVEL_L, QR_MODE_8, 1));
    return s;
}

QImage render(CodePainter &item)
{
    QImage image(qMax(1, int(item.width())), qMax(1, int(item.height())), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    item.paint(&painter);
    return image;
}

bool isBlank(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

// Compares the centre of every module with the matrix and checks that the right and bottom
// strips are left alone. Returns an empty text when all agree.
QString compareWithSymbol(const QImage &image, const QRcode *code)
{
    const int n = code->width;
    const int w = image.width() - 10;
    const int h = image.height() - 10;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const bool dark = code->data[y * n + x] & 1;
            const QRgb want = dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
            const int px = int((x + 0.5) * w / n);
            const int py = int((y + 0.5) * h / n);
            if (image.pixel(px, py) != want)
                return QStringLiteral("module %1,%2 at pixel %3,%4").arg(x).arg(y).arg(px).arg(py);
        }
    }
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((x >= w || y >= h) && qAlpha(image.pixel(x, y)) != 0)
                return QStringLiteral("margin pixel %1,%2 painted").arg(x).arg(y);
    return QString();
}

} // namespace

class TestCodePainter : public QObject
{
    Q_OBJECT
private slots:
    void matchesLibraryMatrix_data();
    void matchesLibraryMatrix();
    void onePixelModulesDoNotSpill();
    void blankWithoutSymbol_data();
    void blankWithoutSymbol();
    void replacingText();
    void resizing();
};

void TestCodePainter::matchesLibraryMatrix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSizeF>("size");

    QTest::newRow("ascii") << QStringLiteral("hello") << QSizeF(210, 210);
    QTest::newRow("digits") << QStringLiteral("012345678901234567890") << QSizeF(110, 110);
    QTest::newRow("url") << QStringLiteral("https://oa.example.test/login?uuid=4f2a-9b&t=1")
                         << QSizeF(260, 260);
    QTest::newRow("utf8") << QStringLiteral("扫码登录 ✓") << QSizeF(300, 300);
    QTest::newRow("wide") << QStringLiteral("wide item") << QSizeF(400, 150);
    QTest::newRow("fractional") << QStringLiteral("frac") << QSizeF(187.7, 203.2);
    QTest::newRow("large symbol") << QString(600, QLatin1Char('z')) << QSizeF(500, 500);
}

void TestCodePainter::matchesLibraryMatrix()
{
    QFETCH(QString, text);
    QFETCH(QSizeF, size);

    const Symbol ref = referenceSymbol(text);
    QVERIFY(ref.code);
    // Sampling module centres is only meaningful when a module covers a few pixels.
    QVERIFY((size.width() - 10) / ref.code->width >= 2);

    CodePainter item;
    item.setSize(size);
    item.generateString(text);
    QCOMPARE(item.text(), text);
    QVERIFY(item.hasSymbol());

    const QString mismatch = compareWithSymbol(render(item), ref.code.get());
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestCodePainter::onePixelModulesDoNotSpill()
{
    // At exactly one pixel per module every pixel must be its own module.
    const QString text = QStringLiteral("one pixel per module");
    const Symbol ref = referenceSymbol(text);
    QVERIFY(ref.code);
    const int n = ref.code->width;

    CodePainter item;
    item.setSize(QSizeF(n + 10, n + 10));
    item.generateString(text);
    const QImage image = render(item);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const QRgb want = (ref.code->data[y * n + x] & 1) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
            QVERIFY2(image.pixel(x, y) == want, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
}

void TestCodePainter::blankWithoutSymbol_data()
{
    QTest::addColumn<bool>("encode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSizeF>("size");

    QTest::newRow("never encoded") << false << QString() << QSizeF(200, 200);
    QTest::newRow("empty text") << true << QString() << QSizeF(200, 200);
    // 8-bit capacity at version 40, level L is 2953 bytes.
    QTest::newRow("too long") << true << QString(2954, QLatin1Char('x')) << QSizeF(200, 200);
    QTest::newRow("too long utf8") << true << QString(1000, QChar(0x4E2D)) << QSizeF(200, 200);
    QTest::newRow("smaller than symbol") << true << QStringLiteral("hello") << QSizeF(25, 25);
    QTest::newRow("smaller than margin") << true << QStringLiteral("hello") << QSizeF(6, 6);
    QTest::newRow("zero size") << true << QStringLiteral("hello") << QSizeF(0, 0);
    QTest::newRow("too short only") << true << QStringLiteral("hello") << QSizeF(200, 20);
}

void TestCodePainter::blankWithoutSymbol()
{
    QFETCH(bool, encode);
    QFETCH(QString, text);
    QFETCH(QSizeF, size);

    CodePainter item;
    item.setSize(size);
    if (encode)
        item.generateString(text);
    QVERIFY(isBlank(render(item)));
}

void TestCodePainter::replacingText()
{
    CodePainter item;
    QSignalSpy changed(&item, &CodePainter::symbolChanged);
    item.setSize(QSizeF(200, 200));
    item.generateString(QStringLiteral("first"));
    QVERIFY(item.hasSymbol());
    QCOMPARE(item.property("hasSymbol").toBool(), true);

    // A failed encoding must not keep showing the previous code, and says so to bindings.
    const QString tooLong(3000, QLatin1Char('x'));
    item.generateString(tooLong);
    QCOMPARE(item.text(), tooLong);
    QVERIFY(!item.hasSymbol());
    QCOMPARE(item.property("hasSymbol").toBool(), false);
    QCOMPARE(changed.count(), 2);
    QVERIFY(isBlank(render(item)));

    item.generateString(QStringLiteral("second"));
    const Symbol ref = referenceSymbol(QStringLiteral("second"));
    const QString mismatch = compareWithSymbol(render(item), ref.code.get());
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestCodePainter::resizing()
{
    const QString text = QStringLiteral("resize me");
    const Symbol ref = referenceSymbol(text);
    CodePainter item;
    item.setSize(QSizeF(15, 15));
    item.generateString(text);
    QVERIFY(isBlank(render(item)));

    for (const QSizeF &size : {QSizeF(120, 120), QSizeF(333, 240), QSizeF(90, 90)}) {
        item.setSize(size);
        const QString mismatch = compareWithSymbol(render(item), ref.code.get());
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }
}

TARNEX_TEST_MAIN(TestCodePainter)
#include "tst_codepainter.moc"
