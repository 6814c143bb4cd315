#pragma once

#include <QString>

// Knows the running client, so the updater can end it before replacing its files. On Linux the
// client records its process in a lock file in the settings folder and the updater ends that
// process (SIGTERM, then SIGKILL after a grace period); on Windows the updater ends every
// client by its program name.
class RunningClient
{
public:
    // The client's program file name on this system.
    static QString clientProgramName();
    // The updater's path below an installation directory.
    static QString updaterProgramIn(const QString &installation);

    // settingsFolder + "client.lock": both programs find the record in the settings folder.
    static QString lockFileIn(const QString &settingsFolder);

    // Called by the client once it runs: records this process in `lockPath`; the record is
    // removed when the event loop ends normally.
    static void recordThisProcess(const QString &lockPath);

    // Ends the client recorded in `lockPath`. A record whose process has gone, or whose number
    // now belongs to another program, is only removed. Waits at most graceMs + killWaitMs. True
    // when no recorded client is left running.
    static bool endRecordedClient(const QString &lockPath, int graceMs = 3000,
                                  int killWaitMs = 2000);
};
