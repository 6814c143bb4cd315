#include "fileopener.h"

#include "logging.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

bool FileOpener::open(const QString &localPath)
{
    if (localPath.isEmpty())
        return false;
#ifdef Q_OS_WIN
    const bool started =
        QProcess::startDetached(QStringLiteral("explorer"), {QDir::toNativeSeparators(localPath)});
#else
    const bool started = QDesktopServices::openUrl(QUrl::fromLocalFile(localPath));
#endif
    if (!started)
        qCDebug(lcFiles) << "the desktop did not open" << localPath;
    return started;
}
