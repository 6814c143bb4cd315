#include "installationaccess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryFile>

bool installationWritable(const QString &folder)
{
    const QString path = folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
    if (!QFileInfo(path).isDir())
        return false;
    // Trying is the only answer that holds for every system's rights (ACLs, read-only mounts).
    QTemporaryFile probe(path + QStringLiteral("/.tarnex-write-probe-XXXXXX"));
    return probe.open();
}
