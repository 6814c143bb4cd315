#include "messagenotices.h"

#include "config/configfile.h"
#include "desktop/startupphase.h"
#include "platform/desktopnotifier.h"

namespace {

bool settingOn(const QString &key)
{
    return ConfigFile::instance()->getMainConfig(key) == QLatin1String("true");
}

} // namespace

MessageNotices::MessageNotices(QObject *parent)
    : QObject(parent), m_hiddenText(QStringLiteral("你收到一条新消息"))
{
    // Not even the session bus is opened when notifications may not be used, nor before the
    // window's first frame.
    if (!DesktopNotifier::supported())
        return;
    StartupPhase::afterFirstFrame(this, [this] { attach(QDBusConnection::sessionBus()); });
}

MessageNotices::MessageNotices(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_hiddenText(QStringLiteral("你收到一条新消息"))
{
    attach(bus);
}

void MessageNotices::attach(const QDBusConnection &bus)
{
    m_notifier = new DesktopNotifier(bus, this);
    connect(m_notifier, &DesktopNotifier::activated, this, &MessageNotices::onActivated);
    connect(m_notifier, &DesktopNotifier::availableChanged, this,
            &MessageNotices::onAvailableChanged);
}

bool MessageNotices::hidePreview()
{
    return settingOn(QStringLiteral("hidePreview"));
}

bool MessageNotices::doNotDisturb()
{
    return settingOn(QStringLiteral("doNotDisturb"));
}

bool MessageNotices::available() const
{
    return m_notifier && m_notifier->available();
}

void MessageNotices::setWindowActive(bool active)
{
    if (m_windowActive == active)
        return;
    m_windowActive = active;
    if (active && !m_openConversation.isEmpty())
        withdrawConversation(m_openConversation);
    emit windowActiveChanged();
}

void MessageNotices::setOpenConversation(const QString &ids)
{
    if (m_openConversation == ids)
        return;
    m_openConversation = ids;
    if (!ids.isEmpty())
        withdrawConversation(ids);
    emit openConversationChanged();
}

void MessageNotices::setHiddenText(const QString &text)
{
    if (m_hiddenText == text)
        return;
    m_hiddenText = text;
    emit hiddenTextChanged();
}

bool MessageNotices::notifyMessage(const QString &ids, const QString &types, const QString &names,
                                   const QString &sender, const QString &msg,
                                   const QString &msgType)
{
    if (ids.isEmpty() || doNotDisturb())
        return false;
    if (m_windowActive && ids == m_openConversation)
        return false;
    QString summary = names;
    if (types == QLatin1String("3") && !sender.isEmpty())
        summary = names.isEmpty() ? sender : sender + QStringLiteral(" · ") + names;
    const QString body = hidePreview() ? m_hiddenText : preview(msg, msgType);
    m_chats.insert(ids, {names, types});
    show(chatKey(ids), summary, body);
    return true;
}

bool MessageNotices::notifyReminder(const QString &module, const QString &title,
                                    const QString &content)
{
    if (module.isEmpty() || doNotDisturb())
        return false;
    const QString body = hidePreview() ? m_hiddenText : preview(content, QString());
    show(remindKey(module), title, body);
    return true;
}

QString MessageNotices::preview(const QString &msg, const QString &msgType) const
{
    return NoticeText::preview(msg, msgType, {m_pictureMarker, m_fileMarker, m_emoticonMarker});
}

void MessageNotices::withdrawConversation(const QString &ids)
{
    if (m_notifier)
        m_notifier->withdraw(chatKey(ids));
}

void MessageNotices::withdrawAll()
{
    if (m_notifier)
        m_notifier->withdrawAll();
    m_chats.clear();
    m_lastKey.clear();
    m_lastSummary.clear();
    m_lastBody.clear();
}

void MessageNotices::show(const QString &key, const QString &summary, const QString &body)
{
    if (!available()) {
        emit sigFallback(key, summary, body);
        return;
    }
    m_lastKey = key;
    m_lastSummary = summary;
    m_lastBody = body;
    m_notifier->show(key, summary, body);
}

void MessageNotices::onActivated(const QString &key)
{
    if (key.startsWith(QLatin1String("chat:"))) {
        const QString ids = key.mid(5);
        const Chat chat = m_chats.value(ids);
        emit sigOpenChat(ids, chat.names, chat.types);
    } else if (key.startsWith(QLatin1String("remind:"))) {
        emit sigOpenReminder(key.mid(7));
    }
}

void MessageNotices::onAvailableChanged()
{
    if (!available() && !m_lastKey.isEmpty()) {
        emit sigFallback(m_lastKey, m_lastSummary, m_lastBody);
        m_lastKey.clear();
    }
    emit availableChanged();
}
