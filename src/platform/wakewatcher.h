#pragma once

#include <QDBusConnection>
#include <QObject>

// Says when a dropped link is worth trying again at once instead of after its delay: the machine
// resumed from sleep (login1's PrepareForSleep(false)) or the network came back (NetworkManager
// reached a connected state). Both services sit on the system bus; a test hands in a bus of its
// own. Where neither service runs, nothing is reported and the usual delay applies.
class WakeWatcher : public QObject
{
    Q_OBJECT
public:
    explicit WakeWatcher(const QDBusConnection &bus = QDBusConnection::systemBus(),
                         QObject *parent = nullptr);

    // NetworkManager's NM_STATE_CONNECTED_LOCAL: from here on a server may be reachable.
    static constexpr uint connectedState = 50;

signals:
    void resumed();
    void networkReturned();

private slots:
    void onPrepareForSleep(bool sleeping);
    void onNetworkState(uint state);

private:
    QDBusConnection m_bus;
    // Unknown until the first report, which counts as a return when connected.
    int m_lastState = -1;
};
