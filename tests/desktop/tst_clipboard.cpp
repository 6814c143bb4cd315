#include "filestestkit.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "desktop/clipboard.h"
#include "session/parameterinfor.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QMimeData>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

// What a paste into the chat input becomes, and the screenshot tool's exit codes.
class TestClipBoard : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void pictureBecomesALink_data();
    void pictureBecomesALink();
    void refusedPictureGivesNothing();
    void silentServerLeavesThePasteFree();
    void textKinds_data();
    void textKinds();
    void pictureFolderStartsEmpty();
    void screenshotExitCodes_data();
    void screenshotExitCodes();

private:
    ReferenceServer m_server;
};

void TestClipBoard::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    QVERIFY(signInAt(m_server, QStringLiteral("zhangwei")));
}

void TestClipBoard::cleanupTestCase()
{
    m_server.stop();
}

void TestClipBoard::pictureBecomesALink_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("shown");
    QTest::newRow("wide picture is shown 300 wide") << 1200 << "300";
    QTest::newRow("narrow picture keeps its width") << 120 << "120";
}

void TestClipBoard::pictureBecomesALink()
{
    QFETCH(int, width);
    QFETCH(QString, shown);
    QImage image(width, 20, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    QApplication::clipboard()->setImage(image);

    ClipBoard clipboard;
    QSignalSpy uploaded(&clipboard, &ClipBoard::sigClipBoardPicture);
    QCOMPARE(clipboard.handlClipBoard(), QString());
    QVERIFY(uploaded.wait(20000));
    QCOMPARE(uploaded.count(), 1);
    const QString html = uploaded.first().first().toString();
    const QRegularExpression shape(
        QStringLiteral("^<a href=\"([^\"]+)\"><img src=\"\\1\" width=\"(\\d+)\"></a><br>$"));
    const QRegularExpressionMatch match = shape.match(html);
    QVERIFY2(match.hasMatch(), qPrintable(html));
    QCOMPARE(match.captured(2), shown);
    const QString link = match.captured(1);
    const QString prefix =
        ServerRequest::currentBaseUrl() + QStringLiteral("api/attachment/index/");
    QVERIFY(link.startsWith(prefix));
    QVERIFY(link.endsWith(QStringLiteral("?api_token=") + ParameterInfor::instance()->token()));

    // The link serves the picture that was on the clipboard.
    const QString id = link.mid(prefix.size()).section(QLatin1Char('?'), 0, 0);
    const QJsonObject stored =
        m_server.hook(QStringLiteral("files-info"), {{QStringLiteral("id"), id}});
    QCOMPARE(stored.value(QLatin1String("type")).toString(), QStringLiteral("image/png"));
    // The saved copy waits in the picture folder.
    QCOMPARE(QDir(ClipBoard::pictureFolder()).entryList(QDir::Files).size(), 1);
}

void TestClipBoard::refusedPictureGivesNothing()
{
    m_server.hook(QStringLiteral("files"), {{QStringLiteral("mobile"), QStringLiteral("status0")}});
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    QApplication::clipboard()->setImage(image);
    ClipBoard clipboard;
    QSignalSpy uploaded(&clipboard, &ClipBoard::sigClipBoardPicture);
    QCOMPARE(clipboard.handlClipBoard(), QString());
    QVERIFY(uploaded.wait(20000));
    QCOMPARE(uploaded.first().first().toString(), QString());
    m_server.hook(QStringLiteral("files-reset"));
}

void TestClipBoard::silentServerLeavesThePasteFree()
{
    m_server.hook(QStringLiteral("files-reset"));
    m_server.hook(QStringLiteral("files"), {{QStringLiteral("mobile"), QStringLiteral("silent")}});
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QApplication::clipboard()->setImage(image);
    ClipBoard clipboard;
    QSignalSpy uploaded(&clipboard, &ClipBoard::sigClipBoardPicture);
    // Neither the paste nor a second one right after waits for the server.
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(clipboard.handlClipBoard(), QString());
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }
    // Both uploads reach the server and wait there, unreported.
    const auto held = [this] {
        return m_server.hook(QStringLiteral("files-requests"))
            .value(QLatin1String("requests"))
            .toArray()
            .size();
    };
    QTRY_COMPARE_WITH_TIMEOUT(held(), 2, 20000);
    QCoreApplication::processEvents();
    QVERIFY(uploaded.isEmpty());
    // Once the server lets go (dropping the held requests, which the network stack may send
    // again), each paste reports exactly once.
    m_server.hook(QStringLiteral("files-reset"));
    QTRY_COMPARE_WITH_TIMEOUT(uploaded.count(), 2, 20000);
    QCoreApplication::processEvents();
    QCOMPARE(uploaded.count(), 2);
}

void TestClipBoard::textKinds_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("HTML wins over text") << "<b>粗体</b>"
                                         << "粗体"
                                         << "<b>粗体</b>";
    QTest::newRow("plain text") << ""
                                << "纯文本 text"
                                << "纯文本 text";
    QTest::newRow("nothing usable") << ""
                                    << ""
                                    << "";
}

void TestClipBoard::textKinds()
{
    QFETCH(QString, html);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    auto *mime = new QMimeData;
    if (!html.isEmpty())
        mime->setHtml(html);
    if (!text.isEmpty())
        mime->setText(text);
    QApplication::clipboard()->setMimeData(mime);
    QCOMPARE(ClipBoard().handlClipBoard(), expected);
}

void TestClipBoard::pictureFolderStartsEmpty()
{
    const QString folder = ClipBoard::pictureFolder();
    QVERIFY(QDir().mkpath(folder));
    QFile leftover(folder + QStringLiteral("old.png"));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    ClipBoard clipboard;
    QVERIFY(QDir(folder).exists());
    QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
}

void TestClipBoard::screenshotExitCodes_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("shot");
    QTest::newRow("picture taken") << 700 << true;
    QTest::newRow("picture taken, older tool") << 188 << true;
    QTest::newRow("cancelled") << 0 << false;
    QTest::newRow("failed") << 1 << false;
}

void TestClipBoard::screenshotExitCodes()
{
    QFETCH(int, exitCode);
    QFETCH(bool, shot);
    ClipBoard clipboard;
    QSignalSpy spy(&clipboard, &ClipBoard::sigShearShot);
    clipboard.onImageFinished(exitCode, QProcess::NormalExit);
    QCOMPARE(spy.size(), shot ? 1 : 0);
}

TARNEX_TEST_MAIN(TestClipBoard)
#include "tst_clipboard.moc"
