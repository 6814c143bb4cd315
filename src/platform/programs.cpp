#include "programs.h"

namespace Platform {

QString updaterProgram()
{
#ifdef Q_OS_WIN
    return QStringLiteral("./update/tarnex-update.exe");
#else
    return QStringLiteral("./update/tarnex-update");
#endif
}

} // namespace Platform
