#pragma once

#include <QString>

namespace sio {

// Which Engine.IO version each server address answered to, for the rest of the process, so only
// the first connection to an older server pays for the detection. Thread-safe.
class GenerationMemory
{
public:
    // 3 or 4; 0 when the address has not been seen.
    static int lookup(const QString &serverKey);
    static void remember(const QString &serverKey, int engineVersion);
    static void forget(const QString &serverKey);
};

} // namespace sio
