#pragma once

#include <QString>
#include <QThread>

#include <condition_variable>
#include <mutex>

class LoginReply;
class QNetworkAccessManager;

// The QR-code loader: once a second it asks the server whether the user has confirmed the
// current QR code on the mobile app; on confirmation it fills the stores exactly as a password
// login does and reports the user and the outcome (types 2).
//
// Every poll waits at most RequestWait::signin().limitMs() for its reply, and both that wait and
// the pause between polls end as soon as the stop flag is set, so stopping returns at once.
class HandlThreaddata : public QThread
{
    Q_OBJECT
public:
    explicit HandlThreaddata(QObject *parent = nullptr);
    ~HandlThreaddata() override;

    static constexpr int pauseMs = 1000;

    // Polls for this code from now on: a running loader switches to it with its next poll
    // (so a refreshed QR code is the one that signs in), a stopped one starts again.
    void startQrPolling(const QString &nonce, const QString &loginKey);
    void setStopFlag(bool stop);
    // Sets the flag and waits for the loader to end, at most for one poll's limit and one pause
    // (normally it ends at once). Returns whether it has ended.
    bool setStopFlagAndWait(bool stop);
    bool stopFlag() const;

signals:
    void sigLoginStatus(bool status, int types, const QString &errors);
    void sigLoginName(const QString &userId, const QString &names);
    // A confirmed code's reply, after it has been distributed and before the token is stored;
    // emitted on the loader's thread, for a direct connection.
    void sigSignedIn(const LoginReply &login);

protected:
    void run() override;

private:
    // One poll; true once the user is signed in.
    bool poll(QNetworkAccessManager &manager);
    // Waits for the pause or for the stop flag, whichever comes first.
    void pause();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QString m_nonce;
    QString m_loginKey;
    bool m_stop = false;
    // The run loop is still going (false once it has decided to end).
    bool m_looping = false;
};
