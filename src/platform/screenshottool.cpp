#include "screenshottool.h"

#include <QCoreApplication>

QString ScreenshotTool::programName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("screenshot.exe");
#else
    return QStringLiteral("tarnex-screenshot");
#endif
}

QString ScreenshotTool::programPath()
{
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QStringLiteral("/ascreenshot/") + programName();
#else
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + programName();
#endif
}
