#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// An unlocked keyring of the test's own on the private session bus: gnome-keyring's secrets
// component, with its files in the isolated home. Stopped when destroyed.
class TestKeyring
{
public:
    // Fails the calling test when the keyring does not come up.
    bool start()
    {
        if (!m_runtime.isValid())
            return false;
        QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
        const QString service = QStringLiteral("org.freedesktop.secrets");
        QDBusServiceWatcher watcher(service, QDBusConnection::sessionBus(),
                                    QDBusServiceWatcher::WatchForRegistration);
        QSignalSpy registered(&watcher, &QDBusServiceWatcher::serviceRegistered);
        m_daemon.setProgram(QStringLiteral("gnome-keyring-daemon"));
        m_daemon.setArguments({QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                               QStringLiteral("--components=secrets")});
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.start();
        if (!m_daemon.waitForStarted(10000))
            return false;
        // The login keyring is created (or unlocked) with the password given on stdin.
        m_daemon.write("test\n");
        m_daemon.closeWriteChannel();
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        if (!bus)
            return false;
        return bus->isServiceRegistered(service).value() || registered.wait(20000);
    }

    ~TestKeyring() { stop(); }

    // Locks the default collection, as a screen lock or the user would.
    bool lock()
    {
        const auto service = [](const char *method) {
            return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"),
                                                  QStringLiteral("/org/freedesktop/secrets"),
                                                  QStringLiteral("org.freedesktop.Secret.Service"),
                                                  QLatin1String(method));
        };
        QDBusMessage alias = service("ReadAlias");
        alias << QStringLiteral("default");
        const QDBusMessage found = QDBusConnection::sessionBus().call(alias, QDBus::Block, 10000);
        if (found.type() != QDBusMessage::ReplyMessage || found.arguments().isEmpty())
            return false;
        QDBusMessage call = service("Lock");
        call << QVariant::fromValue(
            QList<QDBusObjectPath>{qvariant_cast<QDBusObjectPath>(found.arguments().first())});
        return QDBusConnection::sessionBus().call(call, QDBus::Block, 10000).type() ==
               QDBusMessage::ReplyMessage;
    }

    // Ends the service: from now on no keychain answers on the bus.
    void stop()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

private:
    QTemporaryDir m_runtime;
    QProcess m_daemon;
};
