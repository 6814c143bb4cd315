// tarnex-screenshot: grabs the primary screen, lets the user drag a rectangle and puts that
// part of the screen on the clipboard. Exit code 700 (read as 188 where exit codes have 8
// bits): a picture is on the clipboard; 0: the user cancelled (Escape or the right button) or
// there was nothing to grab.
//
//   tarnex-screenshot                    interactive selection
//   tarnex-screenshot --region X,Y,W,H   takes that rectangle without asking (scripts, tests)

#include "desktop/screenselector.h"

#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryFile>
#include <QTimer>

namespace {

constexpr int kPictureTaken = 700;
constexpr int kCancelled = 0;
// How long the hand-over to the clipboard holder may take.
constexpr int kHandOverMs = 3000;
// How long the holder keeps an unclaimed picture; the client reads it right after our exit.
constexpr int kHoldMs = 10 * 60 * 1000;

const char kHoldOption[] = "hold";

// On X11 the clipboard's content lives in the process that set it and is gone once that
// process ends (unless a clipboard manager copies it). A detached copy of this program keeps
// the picture until another program owns the clipboard, so this one can report and exit.
void handOverToHolder(const QImage &picture)
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/tarnex-screenshot-XXXXXX.png"));
    file.setAutoRemove(false);
    if (!file.open() || !picture.save(&file, "PNG")) {
        file.remove();
        return;
    }
    file.close();
    QClipboard *clipboard = QGuiApplication::clipboard();
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(clipboard, &QClipboard::dataChanged, &loop, [&] {
        if (!clipboard->ownsClipboard())
            loop.quit();
    });
    if (!QProcess::startDetached(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--") + QLatin1String(kHoldOption), file.fileName()})) {
        file.remove();
        return;
    }
    limit.start(kHandOverMs);
    loop.exec();
}

int takePicture(const QPixmap &picture)
{
    if (picture.isNull())
        return kCancelled;
    const QImage image = picture.toImage();
    QGuiApplication::clipboard()->setImage(image);
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        handOverToHolder(image);
    return kPictureTaken;
}

// The holder: owns the picture on the clipboard until someone else takes the clipboard.
int holdPicture(QApplication &app, const QString &path)
{
    const QImage image(path);
    QFile::remove(path);
    if (image.isNull())
        return 1;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setImage(image);
    QObject::connect(clipboard, &QClipboard::dataChanged, &app, [clipboard] {
        if (!clipboard->ownsClipboard())
            QCoreApplication::quit();
    });
    QTimer::singleShot(kHoldMs, &app, &QCoreApplication::quit);
    app.exec();
    return 0;
}

QRect parseRegion(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return QRect();
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok)
            return QRect();
    }
    return QRect(values[0], values[1], values[2], values[3]);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnex-screenshot"));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Puts a part of the screen on the clipboard (exit code 700)."));
    parser.addHelpOption();
    const QCommandLineOption regionOption(
        QStringLiteral("region"), QStringLiteral("Take the rectangle X,Y,W,H without asking."),
        QStringLiteral("X,Y,W,H"));
    QCommandLineOption holdOption(QLatin1String(kHoldOption),
                                  QStringLiteral("Keep a picture file on the clipboard."),
                                  QStringLiteral("file"));
    holdOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(regionOption);
    parser.addOption(holdOption);
    parser.process(app);

    if (parser.isSet(holdOption))
        return holdPicture(app, parser.value(holdOption));

    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return kCancelled;
    const QPixmap shot = screen->grabWindow(0);
    if (shot.isNull())
        return kCancelled;

    if (parser.isSet(regionOption)) {
        const QRect region = parseRegion(parser.value(regionOption)) & shot.rect();
        return region.isEmpty() ? kCancelled : takePicture(shot.copy(region));
    }

    ScreenSelector selector(shot);
    selector.setGeometry(screen->geometry());
    int code = kCancelled;
    QObject::connect(&selector, &ScreenSelector::cancelled, &app, [&] {
        code = kCancelled;
        app.quit();
    });
    QObject::connect(&selector, &ScreenSelector::pictureChosen, &app, [&](const QPixmap &picture) {
        selector.hide();
        code = takePicture(picture);
        app.quit();
    });
    selector.showFullScreen();
    selector.activateWindow();
    selector.setFocus();
    app.exec();
    return code;
}
