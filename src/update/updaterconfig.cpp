#include "updaterconfig.h"

#include "config/configfile.h"

#include <QCoreApplication>

QString UpdaterConfig::getCurrentMainFile(const QString &confiles)
{
    return ConfigFile::instance()->getMainConfig(confiles);
}

void UpdaterConfig::openExeProgram()
{
    QCoreApplication::exit(openExeExitCode);
}
