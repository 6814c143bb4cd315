#include "jsonfield.h"

#include <QVariant>

#include <rapidjson/document.h>

#include <cmath>
#include <limits>

namespace {

// Below 2^53 a double holds every integer exactly; 2^63 bounds a safe conversion to qint64.
constexpr double twoTo53 = 9007199254740992.0;
constexpr double twoTo63 = 9223372036854775808.0;

// Below 2^53 only integral values; beyond it every finite double is one, if it fits 64 bits.
bool integerOf(double number, qint64 *out)
{
    if (std::fabs(number) < twoTo53) {
        if (number != std::trunc(number))
            return false;
        *out = qint64(number);
        return true;
    }
    if (!std::isfinite(number) || number < -twoTo63 || number >= twoTo63)
        return false;
    *out = qint64(number);
    return true;
}

bool exactInteger(const QJsonValue &value, qint64 *out)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (std::fabs(number) >= twoTo53) {
        // The parser keeps an integer that fits 64 bits as one; its double would round it.
        const QVariant exact = value.toVariant();
        if (exact.userType() == QMetaType::LongLong) {
            *out = exact.toLongLong();
            return true;
        }
    }
    return integerOf(number, out);
}

bool isDroppedControl(ushort u)
{
    return (u < 0x20 && u != '\t' && u != '\n') || (u >= 0x7f && u <= 0x9f);
}

QString digitsOf(const QJsonValue &value)
{
    qint64 number = 0;
    return exactInteger(value, &number) ? QString::number(number) : QString();
}

QString digitsOf(const FastJson::Value &value)
{
    qint64 number = 0;
    return value.IsNumber() && integerOf(value.GetDouble(), &number) ? QString::number(number)
                                                                     : QString();
}

QString stringOf(const FastJson::Value &value)
{
    return QString(reinterpret_cast<const QChar *>(value.GetString()),
                   int(value.GetStringLength()));
}

} // namespace

QString JsonField::withoutControls(const QString &text)
{
    const QChar *chars = text.constData();
    const int size = text.size();
    int first = 0;
    while (first < size && !isDroppedControl(chars[first].unicode()))
        ++first;
    // Almost every text has none: hand back the shared text without a copy.
    if (first == size)
        return text;
    QString clean;
    clean.reserve(size - 1);
    clean.append(chars, first);
    for (int i = first + 1; i < size; ++i) {
        if (!isDroppedControl(chars[i].unicode()))
            clean += chars[i];
    }
    return clean;
}

QString JsonField::text(const QJsonValue &value)
{
    if (value.isString())
        return withoutControls(value.toString());
    return digitsOf(value);
}

QString JsonField::id(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    return digitsOf(value);
}

QString JsonField::text(const FastJson::Value &value)
{
    if (value.IsString())
        return withoutControls(stringOf(value));
    return digitsOf(value);
}

QString JsonField::id(const FastJson::Value &value)
{
    if (value.IsString())
        return stringOf(value);
    return digitsOf(value);
}

qint64 JsonField::integer(const FastJson::Value &value, qint64 fallback)
{
    qint64 number = 0;
    return value.IsNumber() && integerOf(value.GetDouble(), &number) ? number : fallback;
}

qint64 JsonField::integer(const QJsonValue &value, qint64 fallback)
{
    qint64 number = 0;
    return exactInteger(value, &number) ? number : fallback;
}

QString JsonField::integerText(const QJsonValue &value)
{
    return QString::number(integer(value));
}

int JsonField::smallInteger(const QJsonValue &value, int fallback)
{
    qint64 number = 0;
    if (!exactInteger(value, &number) || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return fallback;
    return int(number);
}
