#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QThread>

#include <functional>
#include <memory>

class MemberRecord;
class QJsonObject;
class ReplyEnvelope;

// A short-lived thread that fetches user records while its caller goes on: it sends one request
// with its own network access manager, waits at most RequestWait::signin().limitMs() for the reply
// and keeps the records it reads. They are handed to the caller's thread once the thread has
// ended, so the cache is only ever written by the caller's thread.
class UserFetchThread : public QThread
{
    Q_OBJECT
public:
    ~UserFetchThread() override;

    // What a fetch gives its caller: the records (the caller owns them; none for a failed or
    // unreadable reply) and whether the server did not answer in time.
    using Done = std::function<void(const QList<MemberRecord *> &records, bool timedOut)>;

    // Starts `thread` and returns at once; `done` runs on `context`'s thread when it has ended.
    // The thread deletes itself afterwards.
    static void launch(std::unique_ptr<UserFetchThread> thread, QObject *context, Done done);

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
    bool m_timedOut = false;
};
