#include "siolog.h"

namespace sio {
Q_LOGGING_CATEGORY(lcSio, "tarnex.sio", QtInfoMsg)
} // namespace sio
