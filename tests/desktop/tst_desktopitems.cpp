#include "testenvironment.h"

#include "desktop/desktopview.h"
#include "desktop/dockclick.h"
#include "desktop/handlurl.h"
#include "desktop/startupphase.h"
#include "shell/configdata.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A screen whose every pixel tells its position; counts the grabs.
class FakeScreenView : public DesktopView
{
public:
    mutable int grabs = 0;

protected:
    QPixmap grabScreenPicture() const override
    {
        ++grabs;
        QImage image(200, 150, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgba(x, y, grabs, 255));
        return QPixmap::fromImage(image);
    }
};

} // namespace

// The small desktop helpers: URL normalising, the screen view, the dock click and the start-up
// phase.
class TestDesktopItems : public QObject
{
    Q_OBJECT
private slots:
    void fromUserInput_data();
    void fromUserInput();
    void pageAndPictureSources();
    void desktopViewPaintsItsRectangle();
    void dockClickReachesEveryConfigData();
    void workWaitsForTheFirstFrame();
};

void TestDesktopItems::fromUserInput_data()
{
    static QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("文档 1.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    QTest::addColumn<QString>("input");
    QTest::addColumn<QUrl>("url");
    QTest::newRow("existing file") << file << QUrl::fromLocalFile(file);
    QTest::newRow("existing folder") << dir.path() << QUrl::fromLocalFile(dir.path());
    QTest::newRow("host name") << "example.com" << QUrl(QStringLiteral("http://example.com"));
    QTest::newRow("missing absolute path")
        << dir.filePath(QStringLiteral("missing.txt"))
        << QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing.txt")));
}

void TestDesktopItems::fromUserInput()
{
    QFETCH(QString, input);
    QFETCH(QUrl, url);
    QCOMPARE(HandlUrl().fromUserInput(input), url);
}

// The browser's page addresses and the pictures the window shows large.
void TestDesktopItems::pageAndPictureSources()
{
    const HandlUrl urls;
    QCOMPARE(urls.pageUrl(" https://example.com/a?b=1 "),
             QStringLiteral("https://example.com/a?b=1"));
    QCOMPARE(urls.pageUrl("about:blank"), QStringLiteral("about:blank"));
    // A kept server address has no scheme; "host:port" is no scheme either.
    QCOMPARE(urls.pageUrl("192.168.1.5:8080/tarnex10"),
             QStringLiteral("http://192.168.1.5:8080/tarnex10"));
    QCOMPARE(urls.pageUrl("localhost:3000"), QStringLiteral("http://localhost:3000"));

    QCOMPARE(HandlUrl::pictureSource("https://host/p.png"), QStringLiteral("https://host/p.png"));
    QCOMPARE(HandlUrl::pictureSource("<img src=\"file:///C:/图片/a b.png\" width=\"80\" />"),
             QStringLiteral("file:///C:/图片/a b.png"));
    QCOMPARE(HandlUrl::pictureSource("<img src=\"file:///home/u/a.png\" />"),
             QStringLiteral("file:///home/u/a.png"));
    QCOMPARE(HandlUrl::pictureSource("<img src=\"file://server/share/a.png\" />"),
             QStringLiteral("file://server/share/a.png"));
    QCOMPARE(HandlUrl::pictureSource("<img src=\"file:///a.png\">"),
             QStringLiteral("<img src=\"file:///a.png\">"));
}

void TestDesktopItems::desktopViewPaintsItsRectangle()
{
    FakeScreenView view;
    view.setSize(QSizeF(60, 50));
    view.grabImage(5, 7, 40, 30);
    QCOMPARE(view.grabs, 1);

    // Drawn at the origin, unscaled; nothing beyond the rectangle.
    const auto paint = [&view] {
        QImage painted(60, 50, QImage::Format_ARGB32);
        painted.fill(Qt::transparent);
        QPainter painter(&painted);
        view.paint(&painter);
        return painted;
    };
    QImage painted = paint();
    QCOMPARE(QColor::fromRgba(painted.pixel(0, 0)), QColor(5, 7, 1));
    QCOMPARE(QColor::fromRgba(painted.pixel(39, 29)), QColor(44, 36, 1));
    QCOMPARE(qAlpha(painted.pixel(40, 10)), 0);
    QCOMPARE(qAlpha(painted.pixel(10, 30)), 0);

    // A new grab, the same rectangle.
    view.reflushImage();
    QCOMPARE(view.grabs, 2);
    painted = paint();
    QCOMPARE(QColor::fromRgba(painted.pixel(0, 0)), QColor(5, 7, 2));
}

void TestDesktopItems::dockClickReachesEveryConfigData()
{
    ConfigData first;
    ConfigData second;
    QSignalSpy firstSpy(&first, &ConfigData::sigDockClick);
    QSignalSpy secondSpy(&second, &ConfigData::sigDockClick);
    DockClick::instance()->notifyClick();
    QCOMPARE(firstSpy.size(), 1);
    QCOMPARE(secondSpy.size(), 1);
}

// Without the entry point nothing waits; with it, what waits runs once, after the frame's own
// handlers, and not at all once its context is gone.
void TestDesktopItems::workWaitsForTheFirstFrame()
{
    StartupPhase *phase = StartupPhase::instance();
    int ran = 0;
    StartupPhase::afterFirstFrame(this, [&ran] { ++ran; });
    QCOMPARE(ran, 1);
    QVERIFY(phase->firstFrameShown());
    QVERIFY(!phase->behindFirstFrame());

    StartupPhase::begin();
    QVERIFY(!phase->firstFrameShown());
    QVERIFY(phase->behindFirstFrame());
    StartupPhase::afterFirstFrame(this, [&ran] { ++ran; });
    int droppedRan = 0;
    auto *gone = new QObject;
    StartupPhase::afterFirstFrame(gone, [&droppedRan] { ++droppedRan; });
    delete gone;
    QSignalSpy shown(phase, &StartupPhase::firstFrameShownChanged);
    StartupPhase::end();
    QCOMPARE(ran, 1);
    QVERIFY(!phase->firstFrameShown());
    QVERIFY(shown.wait(5000));
    QCOMPARE(ran, 2);
    QCOMPARE(droppedRan, 0);
    QVERIFY(phase->firstFrameShown());
    // A second end (the time limit after the frame) runs nothing again.
    StartupPhase::end();
    QCoreApplication::processEvents();
    QCOMPARE(shown.count(), 1);
    QCOMPARE(ran, 2);
}

TARNEX_TEST_MAIN(TestDesktopItems)
#include "tst_desktopitems.moc"
