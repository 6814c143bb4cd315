#pragma once

// One figure of a benchmark beside the target it must meet, in the one layout every benchmark
// prints and scripts/bench reads:
//   <what>  <value> <unit>  target <op> <target> <unit>  met|MISSED
// A figure that could not be measured prints "-" and counts as missed.

#include <QString>

namespace bench {

enum class Op { AtMost, Below, AtLeast };

inline bool meets(double value, Op op, double target)
{
    if (value < 0)
        return false;
    switch (op) {
    case Op::AtMost:
        return value <= target;
    case Op::Below:
        return value < target;
    case Op::AtLeast:
        return value >= target;
    }
    return false;
}

inline QString figureLine(const QString &what, double value, const QString &unit, Op op,
                          double target, int decimals = 1)
{
    const QString sign = op == Op::AtMost  ? QStringLiteral("<=")
                         : op == Op::Below ? QStringLiteral("<")
                                           : QStringLiteral(">=");
    const QString shown = value < 0 ? QStringLiteral("-") : QString::number(value, 'f', decimals);
    return QStringLiteral("%1 %2 %3  target %4 %5 %6  %7\n")
        .arg(what, -60)
        .arg(shown, 10)
        .arg(unit, -5)
        .arg(sign, QString::number(target, 'f', decimals), unit,
             meets(value, op, target) ? QStringLiteral("met") : QStringLiteral("MISSED"));
}

} // namespace bench
