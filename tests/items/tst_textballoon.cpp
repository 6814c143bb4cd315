#include "testenvironment.h"

#include "items/textballoon.h"

#include <QImage>
#include <QPainter>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

namespace {

QImage render(TextBalloon &balloon)
{
    QImage image(int(balloon.width()), int(balloon.height()), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    balloon.paint(&painter);
    return image;
}

bool painted(const QImage &image, int x, int y)
{
    return qAlpha(image.pixel(x, y)) == 255;
}

bool empty(const QImage &image, int x, int y)
{
    return qAlpha(image.pixel(x, y)) == 0;
}

// Counts the scene graph's paint calls.
class CountingBalloon : public TextBalloon
{
public:
    using TextBalloon::TextBalloon;
    void paint(QPainter *painter) override
    {
        ++paints;
        TextBalloon::paint(painter);
    }
    int paints = 0;
};

} // namespace

class TestTextBalloon : public QObject
{
    Q_OBJECT
private slots:
    void fillColour_data();
    void fillColour();
    void tailAndBody_data();
    void tailAndBody();
    void narrowItemHasOnlyTail();
    void changeSignals();
    void propertyChangeRepaints_data();
    void propertyChangeRepaints();
};

void TestTextBalloon::fillColour_data()
{
    QTest::addColumn<bool>("oneSelf");
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("other, default skin") << false << QString() << QColor(0xED, 0xED, 0xED);
    QTest::newRow("own, default skin") << true << QString() << QColor(0x26, 0x83, 0xF5);
    QTest::newRow("other, blue skin")
        << false << QStringLiteral("#0183FF") << QColor(0x01, 0x83, 0xFF);
    QTest::newRow("own, blue skin")
        << true << QStringLiteral("#0183FF") << QColor(0x01, 0x83, 0xFF);
    QTest::newRow("other, named") << false << QStringLiteral("red") << QColor(255, 0, 0);
    QTest::newRow("own, dark skin")
        << true << QStringLiteral("#323448") << QColor(0x32, 0x34, 0x48);
}

void TestTextBalloon::fillColour()
{
    QFETCH(bool, oneSelf);
    QFETCH(QString, skin);
    QFETCH(QColor, expected);

    TextBalloon balloon;
    QCOMPARE(balloon.skinColor(), QStringLiteral("#2683F5"));
    balloon.setSize(QSizeF(120, 60));
    balloon.setOneSelf(oneSelf);
    if (!skin.isEmpty())
        balloon.setSkinColor(skin);

    const QImage image = render(balloon);
    QCOMPARE(QColor(image.pixel(60, 30)), expected); // body
    QCOMPARE(QColor(image.pixel(4, 1)), expected);   // tail
}

void TestTextBalloon::tailAndBody_data()
{
    QTest::addColumn<bool>("rightAligned");
    QTest::addRow("left") << false;
    QTest::addRow("right") << true;
}

void TestTextBalloon::tailAndBody()
{
    QFETCH(bool, rightAligned);
    const int w = 100;
    const int h = 50;
    TextBalloon balloon;
    balloon.setSize(QSizeF(w, h));
    balloon.setRightAligned(rightAligned);
    const QImage image = render(balloon);

    // Mirror x for the right-aligned case: the tail is the only thing that changes sides.
    const auto tailSide = [&](int x) { return rightAligned ? w - 1 - x : x; };

    // Body: from x = 10 to w - 10, full height, rounded corners of radius 6.
    QVERIFY(painted(image, 10, h / 2));
    QVERIFY(painted(image, w - 11, h / 2));
    QVERIFY(empty(image, 9, h / 2));
    QVERIFY(empty(image, w - 10, h / 2));
    QVERIFY(painted(image, w / 2, 0));
    QVERIFY(painted(image, w / 2, h - 1));
    QVERIFY(empty(image, 10, h - 1)); // bottom corners rounded on both sides
    QVERIFY(empty(image, w - 11, h - 1));

    // Tail: triangle along the top edge from the outer edge to 16 px in, down to y = 20.
    QVERIFY(painted(image, tailSide(1), 0));
    QVERIFY(painted(image, tailSide(3), 1));
    QVERIFY(painted(image, tailSide(14), 16));
    QVERIFY(empty(image, tailSide(2), 12));   // below the slanted edge
    QVERIFY(empty(image, tailSide(8), 22));   // below the tail's end
    QVERIFY(painted(image, tailSide(10), 0)); // tail covers the body's top corner on its side

    // The other side keeps its rounded top corner and has no tail.
    QVERIFY(empty(image, tailSide(w - 11), 0));
    QVERIFY(empty(image, tailSide(w - 3), 1));
}

void TestTextBalloon::narrowItemHasOnlyTail()
{
    // A negative body width must not be drawn mirrored to the left of x = 10.
    TextBalloon balloon;
    balloon.setSize(QSizeF(14, 40));
    const QImage image = render(balloon);
    QVERIFY(painted(image, 2, 1));
    for (int x = 0; x < image.width(); ++x)
        QVERIFY2(empty(image, x, 30), qPrintable(QString::number(x)));
}

void TestTextBalloon::changeSignals()
{
    TextBalloon balloon;
    QSignalSpy aligned(&balloon, &TextBalloon::rightAlignedChanged);
    QSignalSpy self(&balloon, &TextBalloon::oneSelfChanged);
    QSignalSpy skin(&balloon, &TextBalloon::skinColorChanged);

    balloon.setRightAligned(false);
    balloon.setOneSelf(false);
    balloon.setSkinColor(QStringLiteral("#2683F5"));
    QCOMPARE(aligned.count() + self.count() + skin.count(), 0);

    balloon.setRightAligned(true);
    balloon.setRightAligned(true);
    balloon.setOneSelf(true);
    balloon.setSkinColor(QStringLiteral("#87B94A"));
    QCOMPARE(aligned.count(), 1);
    QCOMPARE(self.count(), 1);
    QCOMPARE(skin.count(), 1);
    QVERIFY(balloon.rightAligned());
    QVERIFY(balloon.oneSelf());
    QCOMPARE(balloon.skinColor(), QStringLiteral("#87B94A"));
}

void TestTextBalloon::propertyChangeRepaints_data()
{
    QTest::addColumn<QString>("property");
    QTest::newRow("rightAligned") << QStringLiteral("rightAligned");
    QTest::newRow("oneSelf") << QStringLiteral("oneSelf");
    QTest::newRow("skinColor") << QStringLiteral("skinColor");
}

void TestTextBalloon::propertyChangeRepaints()
{
    // In a real scene a changed tail side or colour must show without any other repaint.
    QFETCH(QString, property);
    QQuickWindow window;
    window.resize(120, 60);
    CountingBalloon balloon(window.contentItem());
    balloon.setSize(QSizeF(120, 60));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(balloon.paints > 0);
    // One more frame of the window alone: repaints the first frames still owed are done.
    QSignalSpy swapped(&window, &QQuickWindow::frameSwapped);
    window.update();
    QVERIFY(swapped.wait(5000));

    const int before = balloon.paints;
    if (property == QLatin1String("rightAligned"))
        balloon.setRightAligned(true);
    else if (property == QLatin1String("oneSelf"))
        balloon.setOneSelf(true);
    else
        balloon.setSkinColor(QStringLiteral("#F14034"));
    QTRY_VERIFY(balloon.paints > before);
}

TARNEX_TEST_MAIN(TestTextBalloon)
#include "tst_textballoon.moc"
