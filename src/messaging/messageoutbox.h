#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class OutboxWriter;

// The chat messages the user sent that the service has not acknowledged yet, in the order they
// were sent, kept in a small file so they survive a drop and a restart. Each change is written
// atomically (a crash leaves the old or the new file, never half of one) by a writer thread of
// its own, so the engine's thread never waits for the disk; the newest state wins when changes
// come faster than the disk. Used on the engine's thread only.
class MessageOutbox
{
public:
    MessageOutbox();
    // Waits for the last write.
    ~MessageOutbox();
    MessageOutbox(const MessageOutbox &) = delete;
    MessageOutbox &operator=(const MessageOutbox &) = delete;

    enum class State {
        Waiting,  // to be written once the link is up and signed in
        InFlight, // written; its acknowledgement is due
        Failed,   // refused, too large, or not acknowledged in time: waits for a retry
    };
    struct Entry
    {
        QString types; // "2" private, "3" group
        QString conversation;
        qulonglong id = 0;
        QJsonObject payload; // the "send message" argument
        State state = State::Waiting;
        // When it was written (ms of the engine's monotonic clock), and which write it was;
        // InFlight only.
        qint64 writtenAt = 0;
        quint64 write = 0;
        // Failed for want of an acknowledgement on the link that is up now: if that link then
        // turns out dead, the silence was the link's, and the message waits again. Not kept in
        // the file.
        bool unansweredHere = false;
    };

    // Reads the outbox kept at `path` (missing or unreadable: empty) and keeps it there from now
    // on. Entries that were in flight when the file was written are waiting again.
    void open(const QString &path);
    QString path() const { return m_path; }

    void append(const Entry &entry);
    Entry *find(const QString &types, const QString &conversation, qulonglong id);
    // `saveNow` false leaves the writing to a later save() (acknowledgements come in bursts;
    // a message that is gone too early from the file is only sent once more).
    bool remove(const QString &types, const QString &conversation, qulonglong id,
                bool saveNow = true);
    QList<Entry> &entries() { return m_entries; }
    const QList<Entry> &entries() const { return m_entries; }

    // Hands the current state to the writer (after the entries were changed in place).
    void save() const;
    // Waits, at most 2 s, until what was handed to the writer is on disk; false when it is not.
    bool flush() const;
    // Why the last state could not be written, in the user's words (a full disk); empty once
    // a write succeeds. A failed state is written again, each time later, until it is.
    QString writeProblem() const;
    // Called on the writer's thread whenever a write fails or, after a failure, succeeds
    // (writeProblem() then tells the new state). Set before the first save.
    void setProblemListener(std::function<void()> listener);

private:
    QString m_path;
    QList<Entry> m_entries;
    std::unique_ptr<OutboxWriter> m_writer;
};
