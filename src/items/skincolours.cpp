#include "skincolours.h"

#include <QColor>
#include <QVariantMap>

#include <cmath>

QString SkinColours::hueAt(const QStringList &stops, qreal place)
{
    if (stops.isEmpty())
        return QString();
    const int last = int(stops.size()) - 1;
    if (last == 0)
        return QColor(stops.first()).name();
    const qreal pos = qBound<qreal>(0, place, 1) * last;
    const int i = qMin(last - 1, int(std::floor(pos)));
    const qreal f = pos - i;
    const QColor a(stops.at(i));
    const QColor b(stops.at(i + 1));
    const auto mix = [f](int from, int to) { return qRound(from + (to - from) * f); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue())).name();
}

QString SkinColours::shade(const QString &hex, qreal amount)
{
    const qreal factor = 1 + qBound<qreal>(0, amount, 1);
    return QColor(hex).darker(qRound(factor * 100)).name();
}

int SkinColours::indexOfSkin(const QVariantList &skins, const QString &hex)
{
    for (int i = 0; i < skins.size(); ++i) {
        const QString colour = skins.at(i).toMap().value(QStringLiteral("color")).toString();
        if (colour.compare(hex, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
