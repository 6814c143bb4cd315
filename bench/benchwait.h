#pragma once

// Waits of the benchmarks. They sleep in the event loop: a loop that spun on processEvents()
// took a whole core from the program being measured, on a machine of two.

#include <QEventLoop>
#include <QTimer>

namespace bench {

// Runs the event loop for `ms`.
inline void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace bench
