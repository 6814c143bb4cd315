// The client's entry point: update hand-over, display choices, QML types, the main document,
// and the restart protocol.
#include "config/configfile.h"
#include "config/rememberedpasswords.h"
#include "desktop/expandableaccessible.h"
#include "desktop/renderfallback.h"
#include "desktop/startupcontext.h"
#include "desktop/startupenvironment.h"
#include "desktop/startupphase.h"
#include "desktop/startupprobe.h"
#include "desktop/terminationwatch.h"
#include "language/text.h"
#include "net/documentnetwork.h"
#include "platform/installationaccess.h"
#include "platform/runningclient.h"
#include "platform/singleinstance.h"
#include "programinfo.h"
#include "shell/qmltypes.h"
#include "update/installjournal.h"
#include "update/updatefeed.h"
#include "update/updaterhandover.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QScreen>
#include <QSysInfo>
#include <QTextCodec>
#include <QTimer>
#include <QWindow>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Runs a local event loop until `document` has loaded (or failed), or `limitMs` has passed.
void waitForDocument(QQmlComponent &document, int limitMs)
{
    if (!document.isLoading())
        return;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&document, &QQmlComponent::statusChanged, &loop, &QEventLoop::quit);
    limit.start(limitMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before anything needs a display or touches the settings.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tarnex %s\n", ProgramInfo::version);
            return 0;
        }
    }
    StartupProbe::installLogSink();
    // The built-in browser's engine renders into contexts shared with the window's, and the
    // sharing must be asked for before the application object exists. Setting the attribute
    // (rather than calling QtWebEngine::initialize) keeps the engine's libraries unloaded until
    // the first page opens them.
    RenderFallback::shareContextsForBrowser();
    QApplication app(argc, argv);
    // Before the first window: without OpenGL it would end the program.
    RenderFallback::chooseSceneGraphBackend();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    // The emoticons and menu images are looked up below the working directory, which a Windows
    // shortcut sets to the installation folder. Started from a menu or a terminal elsewhere, the
    // client moves to the folder that holds it and them.
    const QString installation = QCoreApplication::applicationDirPath();
    if (QDir(installation).exists(QStringLiteral("emojis")) && QDir::setCurrent(installation))
        qDebug() << "working directory:" << installation;
    qDebug() << "argc ==" << argc;

    // A second start shows the running client's window and ends, before anything here could
    // touch the running client's files (the store empties its scratch folders).
    SingleInstance instance(ConfigFile::defaultSettingsFolderPath());
    if (!instance.claim()) {
        if (instance.runningClientAnswered()) {
            qInfo() << "a client runs already; it was asked to show its window";
            return 0;
        }
        // Without a word the user would see nothing happen at all.
        QMessageBox::warning(nullptr, QStringLiteral("tarnex"),
                             tarnex::text(QStringLiteral("client_not_answering"),
                                          QStringLiteral("客户端已在运行，但没有响应。请稍后再试，"
                                                         "或结束正在运行的客户端后重新启动。")));
        return 1;
    }

    // The main document's types load on the engine's own thread while this one asks for the
    // update feed and reads the fonts; the window is made from them once the start goes on.
    registerQmlTypes();
    QQmlApplicationEngine engine;
    DocumentNetwork::install(engine);
    const QUrl mainDocument(QStringLiteral("qrc:/main.qml"));
    QQmlComponent preloaded(&engine, mainDocument, QQmlComponent::Asynchronous);

    QNetworkAccessManager feedManager;
    // Creating the store prepares its folders and fixes the current server and its digest.
    ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp"));

    // An update cut off midway is undone (or a finished one completed) before anything runs.
    InstallJournal::recover(QCoreApplication::applicationDirPath(), true);
    const UpdateFeed feed = UpdateFeed::fetch(feedManager, 3000);
    const QString current = QString::fromLatin1(ProgramInfo::version);
    const QString newVersion = feed.valid ? feed.version : current;
    // Only a started updater ends this start; otherwise the window opens as usual. A release
    // the updater would refuse, or an installation the user cannot write, starts none.
    if (argc == 1 && feed.valid && feed.isNewerThan(current) &&
        feed.releaseCheck(current).installable() && installationWritable() &&
        UpdaterHandover::start(feed.text, current, false))
        return 0;

    // The updater ends the recorded client before it replaces the files; its SIGTERM takes the
    // same orderly way out as a quit from the window.
    RunningClient::recordThisProcess(
        RunningClient::lockFileIn(ConfigFile::instance()->settingsFolderPath()));
    TerminationWatch::install();
    // From here on, what the sign-in view does not show waits for its first frame.
    StartupPhase::begin();
    // The keychain waits for the first frame. Then passwords remembered the old way move into
    // it; each leaves the file only once the keychain has confirmed it.
    RememberedPasswords::instance()->holdKeychain();
    StartupPhase::afterFirstFrame(&app, [] {
        RememberedPasswords::instance()->releaseKeychain();
        RememberedPasswords::instance()->migrate();
    });

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

    QQmlContext *context = engine.rootContext();
    values.publish(context);
    // The window must exist when load() returns: what it watches is set up right after.
    waitForDocument(preloaded, 10000);
    engine.load(mainDocument);
    ExpandableAccessible::install();
    context->setContextProperty(QStringLiteral("mainWindows"), &engine);
    qDebug() << "newVersionInfor ==" << newVersion << "reloadView ==" << (argc >= 3 ? 1 : 0);
    StartupProbe::watchFirstFrame(engine);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &engine, [&engine] {
        const QList<QObject *> roots = engine.rootObjects();
        auto *window = roots.isEmpty() ? nullptr : qobject_cast<QWindow *>(roots.first());
        if (!window)
            return;
        qInfo() << "raised by a second start";
        window->show();
        window->raise();
        window->requestActivate();
    });

    const int exitCode = QApplication::exec();
    if (exitCode == ProgramInfo::restartExitCode) {
        qDebug() << "adta ==" << exitCode;
        // The restarted copy must find the lock free.
        instance.release();
        QProcess::startDetached(QApplication::applicationFilePath(),
                                {QStringLiteral("1"), QStringLiteral("2")});
        return 0;
    }
    return exitCode;
}
