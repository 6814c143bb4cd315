#include "updaterhandover.h"

#include "logging.h"
#include "platform/runningclient.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace UpdaterHandover {

QString updaterPath()
{
    return RunningClient::updaterProgramIn(QCoreApplication::applicationDirPath());
}

bool start(const QString &feedText, const QString &currentVersion, bool fromDialog)
{
    const QString program = updaterPath();
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        qCWarning(lcUpdate).noquote()
            << "no updater at" << program << "- carrying on without the update";
        return false;
    }
    QStringList arguments{feedText, currentVersion};
    if (fromDialog)
        arguments << QStringLiteral("app-update");
    const bool started =
        QProcess::startDetached(program, arguments, QCoreApplication::applicationDirPath());
    if (!started)
        qCWarning(lcUpdate).noquote()
            << "cannot start the updater" << program << "- carrying on without the update";
    return started;
}

} // namespace UpdaterHandover
