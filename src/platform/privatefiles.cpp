#include "privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace PrivateFiles {

namespace {
constexpr QFile::Permissions kFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                       QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
constexpr QFile::Permissions kFile =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
} // namespace

bool makeFolder(const QString &path, const QString &from)
{
    const QString clean = QDir::cleanPath(path);
    const QString root = QDir::cleanPath(from);
    if (!QDir().mkpath(clean))
        return false;
#ifdef Q_OS_UNIX
    // The folders from `from` down: created here or before, they are the client's own.
    for (QString folder = clean; folder.startsWith(root + QLatin1Char('/'));
         folder = QFileInfo(folder).path()) {
        QFile::setPermissions(folder, kFolder);
    }
#endif
    return true;
}

bool prepareFile(const QString &path)
{
    QFile file(path);
    if (!file.exists() && !file.open(QIODevice::WriteOnly))
        return false;
    file.close();
#ifdef Q_OS_UNIX
    return QFile::setPermissions(path, kFile);
#else
    return true;
#endif
}

} // namespace PrivateFiles
