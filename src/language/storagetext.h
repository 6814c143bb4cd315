#pragma once

#include <QString>

namespace tarnex {

// What the user is told when one of the client's files on this computer cannot be written.
enum class LocalStore { Settings, Outbox, History };
QString writeFailureText(LocalStore store, bool diskFull);

} // namespace tarnex
