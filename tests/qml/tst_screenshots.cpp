// Runs scripts/screenshots (the real client under Xvfb against the reference server) and checks
// that every picture was produced on both of Qt Quick's paths (OpenGL and software), shows a
// drawn window rather than an empty frame, and that the two paths draw each view alike. A view
// whose pictures differ is kept, both files, in artifacts/rendering.
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QtTest>

#include <cstdlib>

namespace {

struct View
{
    QString name;
    QSize minimum;
};

// Every view of the tour, with the least size its window has.
QList<View> tourViews()
{
    QList<View> views;
    const auto add = [&views](const QString &name, QSize minimum) {
        views.append({name, minimum});
    };
    for (const char *lang : {"zh_CN", "en"}) {
        const QString suffix = QLatin1Char('-') + QLatin1String(lang);
        for (const char *view : {"directory", "person"})
            add(QLatin1String(view) + suffix, QSize(900, 600));
        for (const char *view : {"login", "qrcode", "settings"})
            add(QLatin1String(view) + suffix, QSize(300, 400));
        for (const char *view :
             {"main", "reminders", "menu", "system-settings", "notification-settings",
              "system-theme", "skins", "update", "group-card", "group-new", "person-card"})
            add(QLatin1String(view) + suffix, QSize(900, 600));
    }
    add(QStringLiteral("certificate-prompt"), QSize(300, 400));
    add(QStringLiteral("login-zh_CN-200"), QSize(700, 1000));
    for (const char *view : {"main-en-200", "group-card-zh_CN-200", "group-new-en-200",
                             "person-card-zh_CN-200", "chat-en-200", "history-zh_CN-200"})
        add(QString::fromLatin1(view), QSize(1900, 1300));
    for (const char *view : {"chat-zh_CN", "chat-en", "history-zh_CN", "history-en",
                             "offline-history-zh_CN", "offline-history-en"})
        add(QString::fromLatin1(view), QSize(900, 600));
    return views;
}

const char *const kPaths[] = {"opengl", "software"};

// The mean colour of each square block of a picture, as three channels.
QVector<int> blockMeans(const QImage &image, int block)
{
    const int columns = image.width() / block;
    const int rows = image.height() / block;
    QVector<int> means(columns * rows * 3);
    for (int by = 0; by < rows; ++by) {
        for (int bx = 0; bx < columns; ++bx) {
            int sum[3] = {0, 0, 0};
            for (int y = by * block; y < (by + 1) * block; ++y) {
                const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
                for (int x = bx * block; x < (bx + 1) * block; ++x) {
                    sum[0] += qRed(line[x]);
                    sum[1] += qGreen(line[x]);
                    sum[2] += qBlue(line[x]);
                }
            }
            for (int c = 0; c < 3; ++c)
                means[(by * columns + bx) * 3 + c] = sum[c] / (block * block);
        }
    }
    return means;
}

bool isMagenta(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) > 200;
}

} // namespace

class TestScreenshots : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pictureIsDrawn_data();
    void pictureIsDrawn();
    void pathsAgree_data();
    void pathsAgree();
    void frameFollowsCompositor();

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
    const bool finished = script.waitForFinished(1140000);
    const QByteArray output = script.readAll();
    if (!finished)
        script.kill();
    QVERIFY2(finished && script.exitCode() == 0, output.constData());
}

void TestScreenshots::pictureIsDrawn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("minimum");
    for (const View &view : tourViews()) {
        for (const char *path : kPaths)
            QTest::addRow("%s-%s", qPrintable(view.name), path)
                << view.name + QLatin1Char('-') + QLatin1String(path) << view.minimum;
    }
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

void TestScreenshots::pathsAgree_data()
{
    QTest::addColumn<QString>("name");
    for (const View &view : tourViews())
        QTest::newRow(qPrintable(view.name)) << view.name;
}

// The OpenGL picture of a view matches the software one: the same size, no region left black
// (see-through) where the software path paints a background, and no block of 16 by 16 pixels
// whose mean colour is off by more than the tolerance. Text is drawn by different rasterisers
// on the two paths; block means smooth that out but not a missing pane, mask or picture.
void TestScreenshots::pathsAgree()
{
    QFETCH(QString, name);
    const QString openglFile = m_folder + QLatin1Char('/') + name + QStringLiteral("-opengl.png");
    const QString softwareFile =
        m_folder + QLatin1Char('/') + name + QStringLiteral("-software.png");
    const QImage opengl = QImage(openglFile).convertToFormat(QImage::Format_RGB32);
    const QImage software = QImage(softwareFile).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!opengl.isNull() && !software.isNull());

    QString fault;
    // Each start of the QR view asks for a code of its own: only its frame can match.
    const bool ownContent = name.startsWith(QLatin1String("qrcode-"));
    if (opengl.size() != software.size()) {
        fault = QStringLiteral("sizes %1x%2 (OpenGL) and %3x%4 (software)")
                    .arg(opengl.width())
                    .arg(opengl.height())
                    .arg(software.width())
                    .arg(software.height());
    } else if (!ownContent) {
        const int block = 16;
        const int columns = opengl.width() / block;
        const QVector<int> gl = blockMeans(opengl, block);
        const QVector<int> sw = blockMeans(software, block);
        int worst = 0;
        int worstBlock = 0;
        for (int i = 0; i < gl.size() / 3 && fault.isEmpty(); ++i) {
            const int *g = gl.constData() + i * 3;
            const int *w = sw.constData() + i * 3;
            const QPoint at((i % columns) * block, (i / columns) * block);
            // Black where the software path has a surface: a see-through or unpainted region.
            if (g[0] + g[1] + g[2] < 3 * 12 && w[0] + w[1] + w[2] > 3 * 60)
                fault = QStringLiteral("black at %1,%2 on the OpenGL path").arg(at.x()).arg(at.y());
            const int difference =
                qMax(qMax(std::abs(g[0] - w[0]), std::abs(g[1] - w[1])), std::abs(g[2] - w[2]));
            if (difference > worst) {
                worst = difference;
                worstBlock = i;
            }
        }
        // Above what text and anti-aliased edges give (up to 37 measured), below a wrong
        // surface, a lost picture or a square avatar.
        const int tolerance = 48;
        if (fault.isEmpty() && worst > tolerance)
            fault = QStringLiteral("colour off by %1 at %2,%3")
                        .arg(worst)
                        .arg((worstBlock % columns) * block)
                        .arg((worstBlock / columns) * block);
    }
    if (!fault.isEmpty()) {
        const QString kept = QStringLiteral(TARNEX_SOURCE_DIR "/artifacts/rendering");
        QDir().mkpath(kept);
        for (const QString &file : {openglFile, softwareFile}) {
            const QString copy = kept + QLatin1Char('/') + QFileInfo(file).fileName();
            QFile::remove(copy);
            QFile::copy(file, copy);
        }
        QFAIL(qPrintable(name + QStringLiteral(": ") + fault + QStringLiteral(" (kept in ") + kept +
                         QLatin1Char(')')));
    }
}

// The main view before and after a compositor starts, in front of a magenta backdrop: without
// one the window is square and opaque; with one its corners show the backdrop and nothing
// inside the frame does.
void TestScreenshots::frameFollowsCompositor()
{
    const QImage plain = QImage(m_folder + QStringLiteral("/frame-plain-opengl.png"))
                             .convertToFormat(QImage::Format_RGB32);
    const QImage composited = QImage(m_folder + QStringLiteral("/frame-composited-opengl.png"))
                                  .convertToFormat(QImage::Format_RGB32);
    QVERIFY(!plain.isNull() && !composited.isNull());
    QVERIFY2(plain.width() >= 900 && composited.width() >= 900, "not the main view");
    const auto corners = [](const QImage &image) {
        const int r = image.width() - 1;
        const int b = image.height() - 1;
        return QList<QRgb>{image.pixel(0, 0), image.pixel(r, 0), image.pixel(0, b),
                           image.pixel(r, b)};
    };
    for (QRgb corner : corners(plain)) {
        QVERIFY2(!isMagenta(corner) && qGray(corner) > 40,
                 qPrintable(QStringLiteral("plain corner #%1").arg(corner, 6, 16)));
    }
    for (QRgb corner : corners(composited))
        QVERIFY2(isMagenta(corner),
                 qPrintable(QStringLiteral("composited corner #%1").arg(corner, 6, 16)));
    // Inside the rounded corners every pixel belongs to the window.
    const int inset = 8;
    for (const QImage *image : {&plain, &composited}) {
        for (int y = inset; y < image->height() - inset; ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image->constScanLine(y));
            for (int x = inset; x < image->width() - inset; ++x) {
                if (isMagenta(line[x]))
                    QFAIL(qPrintable(QStringLiteral("see-through at %1,%2").arg(x).arg(y)));
            }
        }
    }
}

TARNEX_TEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
