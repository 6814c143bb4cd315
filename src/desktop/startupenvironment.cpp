#include "startupenvironment.h"

#include <QFontDatabase>
#include <QSet>
#include <QStringList>

#include <cmath>

namespace StartupEnvironment {

QString preferredFontFamily()
{
    const QStringList families = QFontDatabase().families();
    const QSet<QString> available(families.cbegin(), families.cend());
    const QStringList preferred{
        QStringLiteral("Helvetica Neue"),  QStringLiteral("Helvetica"),
        QStringLiteral("PingFang SC"),     QStringLiteral("Hiragino Sans GB"),
        QStringLiteral("Microsoft YaHei"), QStringLiteral("微软雅黑"),
        QStringLiteral("Arial,sans-serif")};
    for (const QString &family : preferred) {
        if (available.contains(family))
            return family;
    }
    return QString();
}

int screenRate(const QRect &geometry)
{
    const int widthRate = int(std::ceil(geometry.width() / 2560.0));
    const int heightRate = int(std::ceil(geometry.height() / 1440.0));
    // A screen that reports no size must not scale the documents to nothing.
    return std::max(1, std::min(widthRate, heightRate));
}

} // namespace StartupEnvironment
