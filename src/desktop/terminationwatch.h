#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM (the updater ending the client before it replaces the files) and SIGINT into
// an ordinary QCoreApplication::quit(), so the same orderly stop runs as for a quit from the
// window: aboutToQuit, the messaging engine's leave notice and the join of its thread. The
// signal handler itself only writes a byte to a socket pair; everything else runs on the
// event loop.
class TerminationWatch : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers once for the process; later calls do nothing.
    static void install();

private:
    explicit TerminationWatch(int readFd);
    void onSignal();

    QSocketNotifier *m_notifier = nullptr;
    int m_readFd = -1;
};
