#include "testenvironment.h"

#include "desktop/screenselector.h"

#include <QClipboard>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <cstdio>

// The screenshot tool: its selection window in-process, and the program itself under Xvfb,
// where the picture must outlive the program on the clipboard. Its exit code 700 reads as 188
// here (exit codes have 8 bits).
class TestScreenshot : public QObject
{
    Q_OBJECT
private slots:
    void dragChoosesThatPart_data();
    void dragChoosesThatPart();
    void cancelling_data();
    void cancelling();
    void clickWithoutDragChoosesNothing();
    void programPutsThePictureOnTheClipboard();

private:
    static QPixmap screen();
};

// A picture where every pixel tells its position.
QPixmap TestScreenshot::screen()
{
    QImage image(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x, y, 77));
    return QPixmap::fromImage(image);
}

void TestScreenshot::dragChoosesThatPart_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("chosen");
    QTest::newRow("down and right") << QPoint(10, 20) << QPoint(50, 60) << QRect(10, 20, 40, 40);
    QTest::newRow("up and left") << QPoint(50, 60) << QPoint(10, 20) << QRect(10, 20, 40, 40);
    QTest::newRow("past the edge")
        << QPoint(180, 140) << QPoint(400, 400) << QRect(180, 140, 20, 10);
}

void TestScreenshot::dragChoosesThatPart()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, chosen);
    ScreenSelector selector(screen());
    selector.resize(200, 150);
    QSignalSpy picked(&selector, &ScreenSelector::pictureChosen);
    QTest::mousePress(&selector, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(&selector, (from + to) / 2);
    QTest::mouseMove(&selector, to);
    QTest::mouseRelease(&selector, Qt::LeftButton, Qt::NoModifier, to);
    QCOMPARE(picked.size(), 1);
    const QImage picture = picked.first().first().value<QPixmap>().toImage();
    QCOMPARE(picture.size(), chosen.size());
    QCOMPARE(QColor(picture.pixel(0, 0)), QColor(chosen.x(), chosen.y(), 77));
    QCOMPARE(QColor(picture.pixel(picture.width() - 1, picture.height() - 1)),
             QColor(chosen.right(), chosen.bottom(), 77));
}

void TestScreenshot::cancelling_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("Escape") << true;
    QTest::newRow("right button") << false;
}

void TestScreenshot::cancelling()
{
    QFETCH(bool, byKey);
    ScreenSelector selector(screen());
    selector.resize(200, 150);
    QSignalSpy cancelled(&selector, &ScreenSelector::cancelled);
    QSignalSpy picked(&selector, &ScreenSelector::pictureChosen);
    if (byKey)
        QTest::keyClick(&selector, Qt::Key_Escape);
    else
        QTest::mouseClick(&selector, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(cancelled.size(), 1);
    QVERIFY(picked.isEmpty());
}

void TestScreenshot::clickWithoutDragChoosesNothing()
{
    ScreenSelector selector(screen());
    selector.resize(200, 150);
    QSignalSpy picked(&selector, &ScreenSelector::pictureChosen);
    QTest::mouseClick(&selector, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    QVERIFY(picked.isEmpty());
    QVERIFY(selector.selection().isEmpty());
    // Enter only takes a real selection.
    QTest::keyClick(&selector, Qt::Key_Return);
    QVERIFY(picked.isEmpty());
}

// Runs the built program and a clipboard reader (this test program in reader mode) one after
// the other on the same Xvfb display: the picture-taken code, then the picture is still there.
void TestScreenshot::programPutsThePictureOnTheClipboard()
{
    const QString program = QStringLiteral(TARNEX_BINARY_DIR "/tarnex-screenshot");
    if (!QFileInfo::exists(program))
        QSKIP("tarnex-screenshot is not built");
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty())
        QSKIP("xvfb-run is not installed");
    const QString script = QStringLiteral("\"$1\" --region 3,4,40,30; echo \"exit=$?\"; "
                                          "TARNEX_CLIPBOARD_READER=1 \"$2\"");
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    run.setProcessEnvironment(environment);
    run.start(xvfbRun,
              {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 320x240x24"),
               QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"), program,
               QCoreApplication::applicationFilePath()});
    QVERIFY(run.waitForFinished(60000));
    const QString output = QString::fromUtf8(run.readAllStandardOutput());
    QVERIFY2(output.contains(QStringLiteral("exit=188")),
             qPrintable(output + QString::fromUtf8(run.readAllStandardError())));
    QVERIFY2(output.contains(QStringLiteral("picture 40x30")),
             qPrintable(output + QString::fromUtf8(run.readAllStandardError())));
}

// Reader mode: prints the clipboard picture's size, then takes the clipboard over, which
// releases the tool's holder.
static int readClipboard(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QImage image = QApplication::clipboard()->image();
    std::printf("picture %dx%d\n", image.width(), image.height());
    std::fflush(stdout);
    QApplication::clipboard()->setText(QStringLiteral("done"));
    return 0;
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("TARNEX_CLIPBOARD_READER"))
        return readClipboard(argc, argv);
    tarnexIsolateHome();
    QApplication app(argc, argv);
    TestScreenshot test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenshot.moc"
