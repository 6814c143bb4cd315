#include "messageoutbox.h"

#include "logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

// A file of this size holds thousands of messages; anything larger is not ours.
constexpr qint64 maxFileBytes = 64 * 1024 * 1024;

MessageOutbox::State stateFromName(const QString &name)
{
    return name == QLatin1String("failed") ? MessageOutbox::State::Failed
                                           : MessageOutbox::State::Waiting;
}

} // namespace

QString MessageOutbox::stateName(State state)
{
    switch (state) {
    case State::Waiting:
        return QStringLiteral("waiting");
    case State::InFlight:
        return QStringLiteral("inflight");
    case State::Failed:
        return QStringLiteral("failed");
    }
    return QString();
}

void MessageOutbox::open(const QString &path)
{
    m_path = path;
    m_entries.clear();
    QFile file(path);
    if (!file.exists())
        return;
    if (file.size() > maxFileBytes || !file.open(QIODevice::ReadOnly)) {
        qCWarning(lcMessaging) << "outbox" << path << "not readable; starting empty";
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        qCWarning(lcMessaging) << "outbox" << path << "damaged:" << error.errorString();
        return;
    }
    const QJsonArray list = document.array();
    for (const QJsonValue &value : list) {
        const QJsonObject object = value.toObject();
        Entry entry;
        entry.types = object.value(QLatin1String("types")).toString();
        entry.conversation = object.value(QLatin1String("conversation")).toString();
        entry.id = object.value(QLatin1String("id")).toString().toULongLong();
        entry.payload = object.value(QLatin1String("payload")).toObject();
        entry.state = stateFromName(object.value(QLatin1String("state")).toString());
        if ((entry.types != QLatin1String("2") && entry.types != QLatin1String("3")) ||
            entry.conversation.isEmpty() || entry.id == 0 || entry.payload.isEmpty())
            continue;
        m_entries.append(entry);
    }
    qCDebug(lcMessaging) << "outbox" << path << "holds" << m_entries.size() << "messages";
}

void MessageOutbox::append(const Entry &entry)
{
    m_entries.append(entry);
    save();
}

MessageOutbox::Entry *MessageOutbox::find(const QString &types, const QString &conversation,
                                          qulonglong id)
{
    for (Entry &entry : m_entries) {
        if (entry.id == id && entry.types == types && entry.conversation == conversation)
            return &entry;
    }
    return nullptr;
}

bool MessageOutbox::remove(const QString &types, const QString &conversation, qulonglong id,
                           bool saveNow)
{
    for (int i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries.at(i);
        if (entry.id == id && entry.types == types && entry.conversation == conversation) {
            m_entries.removeAt(i);
            if (saveNow)
                save();
            return true;
        }
    }
    return false;
}

int MessageOutbox::count(State state) const
{
    int n = 0;
    for (const Entry &entry : m_entries)
        n += entry.state == state ? 1 : 0;
    return n;
}

bool MessageOutbox::save() const
{
    if (m_path.isEmpty())
        return false;
    QJsonArray list;
    for (const Entry &entry : m_entries) {
        list.append(QJsonObject{
            {QStringLiteral("types"), entry.types},
            {QStringLiteral("conversation"), entry.conversation},
            {QStringLiteral("id"), QString::number(entry.id)},
            {QStringLiteral("payload"), entry.payload},
            // In flight is only true for this run of the program.
            {QStringLiteral("state"),
             stateName(entry.state == State::Failed ? State::Failed : State::Waiting)}});
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(list).toJson(QJsonDocument::Compact)) < 0 || !file.commit()) {
        qCWarning(lcMessaging) << "outbox" << m_path << "not written:" << file.errorString();
        return false;
    }
    return true;
}
