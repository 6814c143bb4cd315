#include "wakewatcher.h"

WakeWatcher::WakeWatcher(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(QStringLiteral("org.freedesktop.login1"),
                  QStringLiteral("/org/freedesktop/login1"),
                  QStringLiteral("org.freedesktop.login1.Manager"),
                  QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    m_bus.connect(QStringLiteral("org.freedesktop.NetworkManager"),
                  QStringLiteral("/org/freedesktop/NetworkManager"),
                  QStringLiteral("org.freedesktop.NetworkManager"), QStringLiteral("StateChanged"),
                  this, SLOT(onNetworkState(uint)));
}

void WakeWatcher::onPrepareForSleep(bool sleeping)
{
    if (!sleeping)
        emit resumed();
}

void WakeWatcher::onNetworkState(uint state)
{
    const bool connected = state >= connectedState;
    const bool wasConnected = m_lastState >= int(connectedState);
    m_lastState = int(state);
    if (connected && !wasConnected)
        emit networkReturned();
}
