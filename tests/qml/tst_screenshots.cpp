// Runs scripts/screenshots (the real client under Xvfb against the reference server) and checks
// that every picture was produced and shows a drawn window rather than an empty frame.
#include "testenvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QtTest>

class TestScreenshots : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pictureIsDrawn_data();
    void pictureIsDrawn();

private:
    QString m_folder;
};

void TestScreenshots::initTestCase()
{
    const QString build = QStringLiteral(TARNEX_BINARY_DIR);
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        QSKIP("Xvfb is not installed");
    QVERIFY2(QFileInfo::exists(build + QStringLiteral("/tarnex")) &&
                 QFileInfo::exists(build + QStringLiteral("/tarnex-preset")),
             "build the tarnex and tarnex-preset programs first");
    m_folder = build + QStringLiteral("/screenshots");
    QDir(m_folder).removeRecursively();
    QProcess script;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNEX_BUILD_DIR"), build);
    env.insert(QStringLiteral("TARNEX_NO_BUILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("TARNEX_SCREENSHOT_DIR"), m_folder);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("QT_QUICK_BACKEND"));
    script.setProcessEnvironment(env);
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral("bash"),
                 {QStringLiteral(TARNEX_SOURCE_DIR "/scripts/screenshots")});
    QVERIFY(script.waitForStarted());
    const bool finished = script.waitForFinished(840000);
    const QByteArray output = script.readAll();
    if (!finished)
        script.kill();
    QVERIFY2(finished && script.exitCode() == 0, output.constData());
}

void TestScreenshots::pictureIsDrawn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("minimum");
    for (const char *lang : {"zh_CN", "en"}) {
        for (const char *view : {"directory", "person"})
            QTest::addRow("%s-%s", view, lang)
                << QStringLiteral("%1-%2").arg(QLatin1String(view), QLatin1String(lang))
                << QSize(900, 600);
        for (const char *view : {"login", "qrcode", "settings"})
            QTest::addRow("%s-%s", view, lang)
                << QStringLiteral("%1-%2").arg(QLatin1String(view), QLatin1String(lang))
                << QSize(300, 400);
        for (const char *view :
             {"main", "reminders", "menu", "system-settings", "notification-settings",
              "system-theme", "skins", "update", "group-card", "group-new", "person-card"})
            QTest::addRow("%s-%s", view, lang)
                << QStringLiteral("%1-%2").arg(QLatin1String(view), QLatin1String(lang))
                << QSize(900, 600);
    }
    QTest::newRow("certificate-prompt") << QStringLiteral("certificate-prompt") << QSize(300, 400);
    QTest::newRow("login-zh_CN-200") << QStringLiteral("login-zh_CN-200") << QSize(700, 1000);
    QTest::newRow("main-en-200") << QStringLiteral("main-en-200") << QSize(1900, 1300);
    QTest::newRow("group-card-zh_CN-200")
        << QStringLiteral("group-card-zh_CN-200") << QSize(1900, 1300);
    QTest::newRow("group-new-en-200") << QStringLiteral("group-new-en-200") << QSize(1900, 1300);
    QTest::newRow("person-card-zh_CN-200")
        << QStringLiteral("person-card-zh_CN-200") << QSize(1900, 1300);
    for (const char *view : {"chat-zh_CN", "chat-en", "history-zh_CN", "history-en",
                             "offline-history-zh_CN", "offline-history-en"})
        QTest::newRow(view) << QString::fromLatin1(view) << QSize(900, 600);
    QTest::newRow("chat-en-200") << QStringLiteral("chat-en-200") << QSize(1900, 1300);
    QTest::newRow("history-zh_CN-200") << QStringLiteral("history-zh_CN-200") << QSize(1900, 1300);
}

void TestScreenshots::pictureIsDrawn()
{
    QFETCH(QString, name);
    QFETCH(QSize, minimum);
    const QImage image(m_folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    QVERIFY2(!image.isNull(), qPrintable(name + QStringLiteral(".png is missing")));
    // The window, not the whole virtual screen and not a sliver.
    QVERIFY2(image.width() >= minimum.width() && image.height() >= minimum.height(),
             qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
    // A drawn window has text, icons and surfaces: many colours, and no single colour covers it.
    QHash<QRgb, int> counts;
    const int step = 3;
    int samples = 0;
    for (int y = 0; y < image.height(); y += step) {
        for (int x = 0; x < image.width(); x += step) {
            ++counts[image.pixel(x, y)];
            ++samples;
        }
    }
    int largest = 0;
    for (int count : qAsConst(counts))
        largest = qMax(largest, count);
    QVERIFY2(counts.size() > 50, qPrintable(QStringLiteral("%1 colours").arg(counts.size())));
    QVERIFY2(largest < samples * 0.9, "one colour fills the picture");
}

TARNEX_TEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
