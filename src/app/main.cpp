// The client's entry point: update hand-over, display choices, QML types, the main document,
// and the restart protocol.
#include "config/configfile.h"
#include "desktop/startupcontext.h"
#include "desktop/startupenvironment.h"
#include "desktop/startupprobe.h"
#include "desktop/terminationwatch.h"
#include "platform/programs.h"
#include "platform/runningclient.h"
#include "qmltypes.h"
#include "update/updatefeed.h"

#include <QApplication>
#include <QDebug>
#include <QFont>
#include <QIcon>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QScreen>
#include <QSysInfo>
#include <QTextCodec>

#include <cmath>

namespace {
const char currentVersion[] = "5.0.0.4";
const int restartExitCode = 773;
} // namespace

int main(int argc, char *argv[])
{
    StartupProbe::installLogSink();
    QApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    qDebug() << "argc ==" << argc;

    QNetworkAccessManager feedManager;
    // Creating the store prepares its folders and fixes the current server and its digest.
    ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp"));

    const UpdateFeed feed = UpdateFeed::fetch(feedManager, 3000);
    const QString current = QString::fromLatin1(currentVersion);
    const QString newVersion = feed.valid ? feed.version : current;
    if (argc == 1 && feed.valid && feed.isNewerThan(current)) {
        QProcess::startDetached(Platform::updaterProgram(), {feed.text, current});
        return 0;
    }

    // The updater ends the recorded client before it replaces the files; its SIGTERM takes the
    // same orderly way out as a quit from the window.
    RunningClient::recordThisProcess();
    TerminationWatch::install();

    const QString systemName = QSysInfo::prettyProductName();
    qDebug() << "prettyProductName:" << systemName;

    const QString fontFamily = StartupEnvironment::preferredFontFamily();
    qDebug() << "fontStr ==" << fontFamily;
    if (!fontFamily.isEmpty())
        QApplication::setFont(QFont(fontFamily));

    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1920, 1080);
    const int screenRate = StartupEnvironment::screenRate(screen);
    qDebug() << "screenWidth == " << screen.width() << "screenHeight == " << screen.height();
    qDebug() << "screenWidthRate == " << std::ceil(screen.width() / 2560.0)
             << "screenHeightRate == " << std::ceil(screen.height() / 1440.0);
    qDebug() << "screenRate == " << screenRate;

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/logoasa.ico")));
    registerQmlTypes();

    StartupContext values;
    values.downloadFilePath = feed.url;
    values.downloadFileName = feed.name;
    values.httpContents = feed.text;
    values.sysInforName = systemName;
    values.versionDescription = feed.description;
    values.curretnVersionInfor = current;
    values.newVersionInfor = newVersion;
    values.reloadView = argc >= 3 ? 1 : 0;
    values.screenRate = screenRate;

    QQmlApplicationEngine engine;
    QQmlContext *context = engine.rootContext();
    values.publish(context);
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    context->setContextProperty(QStringLiteral("mainWindows"), &engine);
    qDebug() << "newVersionInfor ==" << newVersion << "reloadView ==" << (argc >= 3 ? 1 : 0);
    StartupProbe::watchFirstFrame(engine);

    const int exitCode = QApplication::exec();
    if (exitCode == restartExitCode) {
        qDebug() << "adta ==" << exitCode;
        QProcess::startDetached(QApplication::applicationFilePath(),
                                {QStringLiteral("1"), QStringLiteral("2")});
        return 0;
    }
    return exitCode;
}
