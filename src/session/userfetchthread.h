#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QThread>

#include <memory>

class MemberRecord;
class QJsonObject;
class ReplyEnvelope;

// A short-lived thread that fetches user records while its caller waits: it sends one request
// with its own network access manager, waits at most RequestWait::signin().limitMs() for the reply
// and keeps the records it reads. The caller takes them into the user cache after the thread has
// ended, so the cache is only ever written by the caller's thread.
class UserFetchThread : public QThread
{
    Q_OBJECT
public:
    ~UserFetchThread() override;

    // The longest the caller (the GUI thread) waits for a fetch.
    static constexpr int callerWaitMs = 3000;

    // Starts `thread`, waits for it (at most callerWaitMs) and returns the records it read; the
    // caller owns them. A failed or unreadable reply gives none. A thread that outlives the wait
    // is left to delete itself when it ends, its records are dropped, and `timedOut` is set.
    static QList<MemberRecord *> fetch(std::unique_ptr<UserFetchThread> thread,
                                       bool *timedOut = nullptr);

    // A user record of the user cache from one user object of a reply.
    static MemberRecord *buildRecord(const QJsonObject &user);

protected:
    // `body` null: a GET; otherwise a POST of `body`.
    UserFetchThread(const QNetworkRequest &request, const QByteArray &body);

    // Turns a successful reply into records (owned by the thread until taken).
    virtual QList<MemberRecord *> readReply(const ReplyEnvelope &envelope) const = 0;

    void run() override;

private:
    QNetworkRequest m_request;
    QByteArray m_body;
    QList<MemberRecord *> m_records;
};
