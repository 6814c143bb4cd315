#pragma once

#include <QString>

namespace tarnex {

// The user-facing text for `key` from the loaded language package, or `builtIn` (the Chinese
// text the caller carries) when the package has none. Every class looks its texts up here.
QString text(const QString &key, const QString &builtIn);

} // namespace tarnex
