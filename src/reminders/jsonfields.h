#pragma once

#include <QJsonValue>
#include <QString>

#include <cmath>
#include <limits>

// Defensive readers for reply fields: a missing member or one of the wrong kind reads as 0 or
// the empty text, and a number outside the int range never reaches a narrowing conversion.
namespace tarnex::json {

inline int toInt(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number < double(std::numeric_limits<int>::min()) ||
        number > double(std::numeric_limits<int>::max()) || std::trunc(number) != number)
        return 0;
    return int(number);
}

// The decimal text of an integer member ("" stays "0", like any other unreadable number).
inline QString toIntText(const QJsonValue &value)
{
    return QString::number(toInt(value));
}

} // namespace tarnex::json
