// The updater's entry point: ends the running client, shows the new version, and restarts the
// client whenever the window's event loop ends.
#include "config/configfile.h"
#include "desktop/renderfallback.h"
#include "desktop/startupenvironment.h"
#include "desktop/startupprobe.h"
#include "logging.h"
#include "net/documentnetwork.h"
#include "platform/runningclient.h"
#include "update/installjournal.h"
#include "update/updaterhttprequest.h"
#include "update/updaterlaunch.h"
#include "update/updaterprobe.h"
#include "update/updaterqmltypes.h"

#include <QApplication>
#include <QDebug>
#include <QFont>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QScreen>
#include <QSysInfo>
#include <QTextCodec>

int main(int argc, char *argv[])
{
    StartupProbe::installLogSink();
    // Must be set before the application object exists to take effect.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    // Before the first window: without OpenGL it would end the program.
    RenderFallback::chooseSceneGraphBackend();

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromUtf8(argv[i]));
    qCInfo(lcUpdate) << "updater started with" << argc - 1 << "arguments";
    if (arguments.size() < 3) {
        UpdaterLaunch::restartClient();
        return 0;
    }
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    const UpdaterLaunch launch = UpdaterLaunch::fromArguments(arguments);
    UpdaterHttpRequest::setRelease(launch.release);
    qCInfo(lcUpdate).noquote() << "release check:" << launch.release.reason();
    // A switch that an earlier updater left cut off is undone before anything else.
    InstallJournal::recover(UpdaterLaunch::installationDirectory(), false);

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/logoa.ico")));
    const QString fontFamily = StartupEnvironment::preferredFontFamily();
    if (!fontFamily.isEmpty())
        QApplication::setFont(QFont(fontFamily));

    // No client may keep its files open while they are replaced.
    if (!RunningClient::endRecordedClient(
            RunningClient::lockFileIn(ConfigFile::instance()->settingsFolderPath())))
        qCWarning(lcUpdate) << "a running client could not be ended";

    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1920, 1080);
    const int screenRate = StartupEnvironment::screenRate(screen);

    int exitCode = 0;
    {
        registerUpdaterQmlTypes();
        QQmlApplicationEngine engine;
        DocumentNetwork::install(engine);
        launch.publish(engine.rootContext(), QSysInfo::prettyProductName(), screenRate);
        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        UpdaterProbe::watch(engine);
        exitCode = QApplication::exec();
        // The engine goes first, so an installation still running finishes before the restart.
    }
    qCInfo(lcUpdate) << "updater ends with" << exitCode;
    UpdaterLaunch::restartClient();
    return exitCode;
}
