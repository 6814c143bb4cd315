#include "desktopnotifier.h"

#include "logging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString defaultAction = QStringLiteral("default");

} // namespace

bool DesktopNotifier::supported()
{
#ifdef Q_OS_LINUX
    return qgetenv("TARNEX_NOTIFICATIONS") != "off";
#else
    return false;
#endif
}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus), m_enabled(supported() && m_bus.isConnected())
{
    if (!m_enabled)
        return;
    m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

QString DesktopNotifier::escapeMarkup(const QString &text)
{
    return text.toHtmlEscaped();
}

void DesktopNotifier::show(const QString &key, const QString &summary, const QString &body)
{
    Entry &entry = m_entries[key];
    if (entry.inFlight) {
        entry.queued = true;
        entry.withdrawAfter = false;
        entry.summary = summary;
        entry.body = body;
        return;
    }
    send(key, entry, summary, body);
}

void DesktopNotifier::send(const QString &key, Entry &entry, const QString &summary,
                           const QString &body)
{
    if (!m_enabled) {
        if (!m_failureLogged && supported())
            qCWarning(lcDesktop) << "no session bus: desktop notifications are not shown";
        m_failureLogged = true;
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tarnex"));
    call << QStringLiteral("tarnex") << entry.id << QString() << summary << escapeMarkup(body)
         << QStringList{defaultAction, QString()} << hints << int(-1);
    entry.inFlight = true;
    entry.queued = false;
    ++m_callsInFlight;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeLimitMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher *done) {
                --m_callsInFlight;
                onNotified(key, done);
            });
}

void DesktopNotifier::onNotified(const QString &key, QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        return;
    it->inFlight = false;
    if (reply.isError()) {
        if (!m_failureLogged)
            qCWarning(lcDesktop) << "desktop notifications are not available:"
                                 << reply.error().message();
        m_failureLogged = true;
        setServiceFailed(true);
    } else {
        setServiceFailed(false);
        const uint id = reply.value();
        if (it->id != 0 && it->id != id)
            m_keyOfId.remove(it->id);
        it->id = id;
        m_keyOfId.insert(id, key);
    }
    if (it->withdrawAfter) {
        it->withdrawAfter = false;
        withdraw(key);
    } else if (it->queued) {
        send(key, *it, it->summary, it->body);
    }
}

void DesktopNotifier::setServiceFailed(bool failed)
{
    if (m_serviceFailed == failed)
        return;
    m_serviceFailed = failed;
    emit availableChanged();
}

void DesktopNotifier::withdrawAll()
{
    const QStringList keys = m_entries.keys();
    for (const QString &key : keys)
        withdraw(key);
}

void DesktopNotifier::withdraw(const QString &key)
{
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        return;
    if (it->inFlight) {
        it->queued = false;
        it->withdrawAfter = true;
        return;
    }
    if (it->id != 0 && m_enabled) {
        m_keyOfId.remove(it->id);
        close(it->id);
    }
    m_entries.erase(it);
}

void DesktopNotifier::close(uint id)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface,
                                                       QStringLiteral("CloseNotification"));
    call << id;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeLimitMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
}

void DesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    const QString key = m_keyOfId.value(id);
    if (!key.isEmpty() && action == defaultAction)
        emit activated(key);
}

void DesktopNotifier::onClosed(uint id, uint reason)
{
    Q_UNUSED(reason)
    const QString key = m_keyOfId.take(id);
    auto it = m_entries.find(key);
    // A closed one is not replaced any more: the next message shows anew.
    if (it != m_entries.end() && it->id == id) {
        if (it->inFlight || it->queued)
            it->id = 0;
        else
            m_entries.erase(it);
    }
}
