#pragma once

#include <QString>

// Names of the programs the client starts, per platform.
namespace Platform {

// The updater, relative to the working directory.
QString updaterProgram();

} // namespace Platform
