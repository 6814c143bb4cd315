#pragma once

#include <QLoggingCategory>

namespace sio {
// Diagnostics of the socket.io client ("tarnex.sio").
Q_DECLARE_LOGGING_CATEGORY(lcSio)
} // namespace sio
