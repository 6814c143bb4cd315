#include "localpath.h"

#include <QUrl>

QString LocalPath::fromUserPath(const QString &path)
{
    if (!path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return path;
    // QUrl undoes the percent-encoding of "#", "%" and the like that a URL text carries.
    const QString local = QUrl(path).toLocalFile();
    if (!local.isEmpty())
        return local;
    QString stripped = path;
    return stripped.remove(QStringLiteral("file:///"));
}
