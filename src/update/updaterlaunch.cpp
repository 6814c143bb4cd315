#include "updaterlaunch.h"

#include "logging.h"
#include "platform/runningclient.h"
#include "programinfo.h"
#include "update/updatefeed.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QQmlContext>

UpdaterLaunch UpdaterLaunch::fromArguments(const QStringList &arguments)
{
    UpdaterLaunch launch;
    launch.enoughArguments = arguments.size() >= 3;
    launch.updateStatus = arguments.size() >= 4 ? 1 : 0;
    launch.curretnVersionInfor = arguments.value(2);
    const UpdateFeed feed = UpdateFeed::parse(arguments.value(1).toUtf8());
    if (feed.valid) {
        launch.downloadFilePath = feed.url;
        launch.downloadFileName = feed.name;
        launch.httpContents = feed.text;
        launch.newVersionInfor = feed.version;
    } else {
        launch.newVersionInfor = launch.curretnVersionInfor;
    }
    const QString built = QString::fromLatin1(ProgramInfo::version);
    const std::optional<int> order = UpdateFeed::compareVersions(launch.curretnVersionInfor, built);
    const QString running = order && *order > 0 ? launch.curretnVersionInfor : built;
    launch.release = feed.releaseCheck(running);
    if (launch.release.installable()) {
        // What is shown and stored is what was signed.
        launch.newVersionInfor = launch.release.manifest.version;
        if (!launch.release.manifest.name.isEmpty())
            launch.downloadFileName = launch.release.manifest.name;
    }
    return launch;
}

void UpdaterLaunch::publish(QQmlContext *context, const QString &sysInforName, int screenRate) const
{
    context->setContextProperty(QStringLiteral("updateStatus"), updateStatus);
    context->setContextProperty(QStringLiteral("downloadFilePath"), downloadFilePath);
    context->setContextProperty(QStringLiteral("downloadFileName"), downloadFileName);
    context->setContextProperty(QStringLiteral("systemStatus"), QVariant(0));
    context->setContextProperty(QStringLiteral("httpContents"), httpContents);
    context->setContextProperty(QStringLiteral("sysInforName"), sysInforName);
    context->setContextProperty(QStringLiteral("versionDescription"), QString());
    context->setContextProperty(QStringLiteral("curretnVersionInfor"), curretnVersionInfor);
    context->setContextProperty(QStringLiteral("newVersionInfor"), newVersionInfor);
    context->setContextProperty(QStringLiteral("screenRate"), screenRate);
}

QString UpdaterLaunch::installationDirectory()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
}

bool UpdaterLaunch::restartClient()
{
    const QString installation = installationDirectory();
    const QString client = installation + QLatin1Char('/') + RunningClient::clientProgramName();
    // The client finds its updater, emoticons and menu icons relative to its working folder.
    const bool started = QProcess::startDetached(client, {QStringLiteral("update")}, installation);
    qCInfo(lcUpdate) << (started ? "restarted" : "cannot restart") << client;
    return started;
}
