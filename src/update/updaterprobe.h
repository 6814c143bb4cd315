#pragma once

class QQmlApplicationEngine;

// Automation for the end-to-end tests and the demo: with TARNEX_UPDATER_AUTOMATE=1 the updater
// presses its own buttons (upgrade, then confirm once installed or failed), as a user would.
namespace UpdaterProbe {

void watch(QQmlApplicationEngine &engine);

} // namespace UpdaterProbe
