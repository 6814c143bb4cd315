#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A notification service of the test's own, exported on a second connection of the (private)
// session bus, so every call of the client really crosses the bus.
namespace FakeNotifications {

inline const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
inline const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");

class FakeNotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown
    {
        uint replacesId;
        QString summary;
        QString body;
        QStringList actions;
    };

    FakeNotificationServer()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                              QStringLiteral("fake-notifications")))
    {}
    ~FakeNotificationServer() override
    {
        m_bus.unregisterService(serviceName);
        m_bus.unregisterObject(objectPath);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
    }
    bool start()
    {
        return m_bus.registerObject(objectPath, this, QDBusConnection::ExportAllSlots) &&
               m_bus.registerService(serviceName);
    }
    bool emitSignal(const QString &name, const QVariantList &args)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            objectPath, QStringLiteral("org.freedesktop.Notifications"), name);
        signal.setArguments(args);
        return m_bus.send(signal);
    }

    QList<Shown> shown;
    QList<uint> closed;

public slots:
    uint Notify(const QString &app, uint replacesId, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints,
                int timeout)
    {
        Q_UNUSED(app)
        Q_UNUSED(icon)
        Q_UNUSED(hints)
        Q_UNUSED(timeout)
        shown.append({replacesId, summary, body, actions});
        emit notified();
        return replacesId != 0 ? replacesId : ++m_lastId;
    }
    void CloseNotification(uint id)
    {
        closed.append(id);
        emit notified();
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

signals:
    void notified();

private:
    QDBusConnection m_bus;
    uint m_lastId = 40;
};

} // namespace FakeNotifications

using FakeNotifications::FakeNotificationServer;
