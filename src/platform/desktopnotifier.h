#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// Desktop notifications through the desktop's notification service (org.freedesktop.
// Notifications). Each key (one conversation, one reminder module) has at most one notification
// on screen: a newer one replaces it instead of stacking. Every call is asynchronous and bounded;
// where no service runs, that is logged once and nothing else happens.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                             QObject *parent = nullptr);

    static constexpr int callTimeLimitMs = 5000;

    // Shows plain `summary` and `body` as the notification of `key`, replacing the one before.
    void show(const QString &key, const QString &summary, const QString &body);
    // Takes the notification of `key` off the screen, if it is there.
    void withdraw(const QString &key);
    // Takes every notification of this client off the screen.
    void withdrawAll();

    // Whether this build and run may use the service at all: Linux only (elsewhere the tray
    // balloon stands in), and never with TARNEX_NOTIFICATIONS=off, which keeps test runs off
    // the user's own desktop. Nothing is sent when false.
    static bool supported();
    // Supported, and the service has not failed its last call.
    bool available() const { return m_enabled && !m_serviceFailed; }

    // The body is read as markup by most services: the user's text must not become tags.
    static QString escapeMarkup(const QString &text);
    // Calls sent and not yet answered.
    int callsInFlight() const { return m_callsInFlight; }

signals:
    // The user clicked the notification of `key`.
    void activated(const QString &key);
    // available() changed: the service stopped or started answering.
    void availableChanged();

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id, uint reason);

private:
    struct Entry
    {
        uint id = 0;
        bool inFlight = false;
        // What arrived while a call was in flight: sent once its id is known, so it replaces.
        bool queued = false;
        QString summary;
        QString body;
        bool withdrawAfter = false;
    };
    void send(const QString &key, Entry &entry, const QString &summary, const QString &body);
    void onNotified(const QString &key, QDBusPendingCallWatcher *watcher);
    void close(uint id);
    void setServiceFailed(bool failed);

    QDBusConnection m_bus;
    QHash<QString, Entry> m_entries;
    QHash<uint, QString> m_keyOfId;
    bool m_enabled = false;
    bool m_serviceFailed = false;
    bool m_failureLogged = false;
    int m_callsInFlight = 0;
};
