#pragma once

class QQmlApplicationEngine;

// Diagnostics for automation (the start-up benchmark, the restart tests):
// - TARNEX_LOG_FILE=<path>: every log line is also appended to that file;
// - TARNEX_QUIT_AFTER_FIRST_FRAME=<code>[,<code>...]: once the main window has shown its first
//   frame, the event loop ends with the first code; the rest is left for a restarted copy.
namespace StartupProbe {

void installLogSink();
void watchFirstFrame(QQmlApplicationEngine &engine);

} // namespace StartupProbe
