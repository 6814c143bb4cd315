#include "decompressionfile.h"

#include "config/configfile.h"
#include "update/packageunpacker.h"

#include <QFile>

void DecompressionFile::decompressionZipfile()
{
    const QString folder = ConfigFile::instance()->updateFolderPath();
    const QString archive = folder + QStringLiteral("update.zip");
    if (!QFile::exists(archive))
        return;
    PackageUnpacker::extract(archive, folder + QStringLiteral("atestzip"));
}
