#include "terminationwatch.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

int writeFd = -1;

#ifdef Q_OS_UNIX
extern "C" void onTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here; a full pipe already holds a pending stop.
    const ssize_t written = ::write(writeFd, &byte, 1);
    (void)written;
}
#endif

} // namespace

void TerminationWatch::install()
{
#ifdef Q_OS_UNIX
    if (writeFd >= 0 || !QCoreApplication::instance())
        return;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return;
    writeFd = fds[0];
    new TerminationWatch(fds[1]);
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
#endif
}

TerminationWatch::TerminationWatch(int readFd)
    : QObject(QCoreApplication::instance()), m_readFd(readFd)
{
    m_notifier = new QSocketNotifier(readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatch::onSignal);
}

void TerminationWatch::onSignal()
{
#ifdef Q_OS_UNIX
    char byte = 0;
    const ssize_t got = ::read(m_readFd, &byte, 1);
    (void)got;
#endif
    QCoreApplication::quit();
}
