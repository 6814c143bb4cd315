#include "messageoutbox.h"

#include "language/storagetext.h"
#include "logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStorageInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// A file of this size holds thousands of messages; anything larger is not ours.
constexpr qint64 maxFileBytes = 64 * 1024 * 1024;
// A stalled disk (a network home) must not hold the engine, or the quit, for longer.
constexpr std::chrono::seconds diskLimit(2);

MessageOutbox::State stateFromName(const QString &name)
{
    return name == QLatin1String("failed") ? MessageOutbox::State::Failed
                                           : MessageOutbox::State::Waiting;
}

QString stateName(MessageOutbox::State state)
{
    switch (state) {
    case MessageOutbox::State::Waiting:
        return QStringLiteral("waiting");
    case MessageOutbox::State::InFlight:
        return QStringLiteral("inflight");
    case MessageOutbox::State::Failed:
        return QStringLiteral("failed");
    }
    return QString();
}

} // namespace

// Writes the newest state handed to it, on a thread of its own (started with the first write).
class OutboxWriter
{
public:
    ~OutboxWriter()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void write(const QString &path, const QByteArray &data)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // Another file (another user) is finished first: only states of one file replace
        // each other.
        if (m_pending && m_path != path &&
            !m_changed.wait_for(lock, diskLimit, [this]() { return !m_pending; }))
            qCWarning(lcMessaging) << "outbox" << m_path << "not on disk in time; replaced";
        m_path = path;
        m_data = data;
        m_pending = true;
        if (!m_thread.joinable())
            m_thread = std::thread([this]() { run(); });
        lock.unlock();
        m_changed.notify_all();
    }

    void setListener(std::function<void()> listener)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_listener = std::move(listener);
    }

    // The last write failed (and is being tried again), and whether for want of space.
    bool failed() const { return m_failed; }
    bool diskFull() const { return m_diskFull; }

    bool flush()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_changed.wait_for(lock, diskLimit, [this]() { return !m_pending && !m_busy; })) {
            qCWarning(lcMessaging) << "outbox" << m_path << "still being written; going on";
            return false;
        }
        return !m_failed;
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        std::chrono::milliseconds retryDelay(0);
        for (;;) {
            m_changed.wait(lock, [this]() { return m_pending || m_stop; });
            if (!m_pending)
                return;
            const QString path = m_path;
            const QByteArray data = m_data;
            m_pending = false;
            m_busy = true;
            lock.unlock();
            const bool ok = store(path, data);
            lock.lock();
            m_busy = false;
            const bool changed = m_failed.exchange(!ok) != !ok;
            m_changed.notify_all();
            if (changed && m_listener) {
                const std::function<void()> listener = m_listener;
                lock.unlock();
                listener();
                lock.lock();
            }
            if (ok) {
                retryDelay = std::chrono::milliseconds(0);
                continue;
            }
            // Tried again, each time later, unless a newer state replaces it first: a message
            // not on disk is lost with the process.
            retryDelay = retryDelay.count() == 0
                             ? std::chrono::milliseconds(500)
                             : std::min(2 * retryDelay, std::chrono::milliseconds(30000));
            if (!m_changed.wait_for(lock, retryDelay, [this]() { return m_pending || m_stop; }))
                m_pending = true;
        }
    }

    bool store(const QString &path, const QByteArray &data)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        // Flushed before the commit: on a full disk QSaveFile's commit reports success for a
        // write that failed in its buffer, and puts an empty file in place of the last one.
        if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush() &&
            file.commit())
            return true;
        const QString error = file.errorString();
        file.cancelWriting();
        m_diskFull =
            QStorageInfo(QFileInfo(path).absolutePath()).bytesAvailable() < data.size() + 64 * 1024;
        qCWarning(lcMessaging) << "outbox" << path << "not written:" << error;
        return false;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    QString m_path;
    QByteArray m_data;
    bool m_pending = false;
    bool m_busy = false;
    bool m_stop = false;
    std::function<void()> m_listener;
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_diskFull{false};
    std::thread m_thread;
};

MessageOutbox::MessageOutbox() : m_writer(std::make_unique<OutboxWriter>()) {}

MessageOutbox::~MessageOutbox() = default;

bool MessageOutbox::flush() const
{
    return m_writer->flush();
}

void MessageOutbox::setProblemListener(std::function<void()> listener)
{
    m_writer->setListener(std::move(listener));
}

QString MessageOutbox::writeProblem() const
{
    return m_writer->failed()
               ? tarnex::writeFailureText(tarnex::LocalStore::Outbox, m_writer->diskFull())
               : QString();
}

void MessageOutbox::open(const QString &path)
{
    // What was handed over for the previous file is on disk before this one is read.
    flush();
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

void MessageOutbox::save() const
{
    if (m_path.isEmpty())
        return;
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
    m_writer->write(m_path, QJsonDocument(list).toJson(QJsonDocument::Compact));
}
