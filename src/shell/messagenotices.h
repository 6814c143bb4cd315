#pragma once

#include "desktop/noticetext.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

class DesktopNotifier;

// Decides which new messages and reminders become desktop notifications, and what they say:
// nothing while do-not-disturb is on, nothing for the conversation the user is looking at, the
// text hidden when the settings ask so. One notification per conversation ("chat:<id>") and per
// reminder module ("remind:<module>"). Where no notification service can be used, the same
// notice goes to sigFallback for the tray to show.
class MessageNotices : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool available READ available NOTIFY availableChanged)
    // Whether the main window has the focus, and the conversation it shows ("" for none).
    Q_PROPERTY(bool windowActive READ windowActive WRITE setWindowActive NOTIFY windowActiveChanged)
    Q_PROPERTY(QString openConversation READ openConversation WRITE setOpenConversation NOTIFY
                   openConversationChanged)
    // The body shown instead of the message when previews are hidden.
    Q_PROPERTY(QString hiddenText READ hiddenText WRITE setHiddenText NOTIFY hiddenTextChanged)
    // What a picture, a file and an emoticon read as in a preview, in the interface language.
    Q_PROPERTY(QString pictureMarker MEMBER m_pictureMarker)
    Q_PROPERTY(QString fileMarker MEMBER m_fileMarker)
    Q_PROPERTY(QString emoticonMarker MEMBER m_emoticonMarker)
public:
    // On the session bus, unless this build or run may not use notifications at all.
    explicit MessageNotices(QObject *parent = nullptr);
    MessageNotices(const QDBusConnection &bus, QObject *parent = nullptr);

    static QString chatKey(const QString &ids) { return QStringLiteral("chat:") + ids; }
    static QString remindKey(const QString &module) { return QStringLiteral("remind:") + module; }

    // The two settings (kept in the main settings as "true"/"false").
    Q_INVOKABLE static bool hidePreview();
    Q_INVOKABLE static bool doNotDisturb();

    bool available() const;
    bool windowActive() const { return m_windowActive; }
    void setWindowActive(bool active);
    QString openConversation() const { return m_openConversation; }
    // Opening a conversation takes its notification off the screen.
    void setOpenConversation(const QString &ids);
    QString hiddenText() const { return m_hiddenText; }
    void setHiddenText(const QString &text);

    // A message somebody else wrote in conversation `ids` (types "2" private, "3" group).
    // `names` is the conversation's name; `sender` the writer in a group ("" otherwise).
    // False when it is not shown.
    Q_INVOKABLE bool notifyMessage(const QString &ids, const QString &types, const QString &names,
                                   const QString &sender, const QString &msg,
                                   const QString &msgType);
    // A new reminder of `module`, shown as `title` and `content`.
    Q_INVOKABLE bool notifyReminder(const QString &module, const QString &title,
                                    const QString &content);
    Q_INVOKABLE void withdrawConversation(const QString &ids);
    // Signing out: every notification goes, with what was kept to open one.
    Q_INVOKABLE void withdrawAll();

signals:
    void availableChanged();
    void windowActiveChanged();
    void openConversationChanged();
    void hiddenTextChanged();
    // No notification service: the tray shows this instead.
    void sigFallback(QString key, QString summary, QString body);
    // The user clicked a notification.
    void sigOpenChat(QString ids, QString names, QString types);
    void sigOpenReminder(QString module);

private:
    struct Chat
    {
        QString names;
        QString types;
    };
    void show(const QString &key, const QString &summary, const QString &body);
    void onActivated(const QString &key);
    void onAvailableChanged();
    void attach(const QDBusConnection &bus);
    QString preview(const QString &msg, const QString &msgType) const;

    DesktopNotifier *m_notifier = nullptr;
    QHash<QString, Chat> m_chats;
    bool m_windowActive = false;
    QString m_openConversation;
    QString m_hiddenText;
    QString m_pictureMarker = NoticeText::Markers().picture;
    QString m_fileMarker = NoticeText::Markers().file;
    QString m_emoticonMarker = NoticeText::Markers().emoticon;
    // The last one sent: when that call finds no service, the tray still shows it.
    QString m_lastKey;
    QString m_lastSummary;
    QString m_lastBody;
};
