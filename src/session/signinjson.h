#pragma once

#include <QJsonValue>
#include <QString>

#include <cmath>

namespace tarnex::signin {

// A text member as the sign-in replies carry it. Some servers send ids and ports as numbers,
// so an integral number reads as its decimal text; anything else (missing, object, fraction)
// reads as the empty text.
inline QString textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        const double number = value.toDouble();
        // Beyond 2^53 a double no longer holds every integer exactly.
        if (std::isfinite(number) && std::trunc(number) == number && std::abs(number) <= 9e15)
            return QString::number(qint64(number));
    }
    return QString();
}

} // namespace tarnex::signin
