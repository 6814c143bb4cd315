#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace QKeychain {
class Job;
}

// Secrets in the system keychain: the Secret Service on Linux, the Credential Manager on
// Windows. Every call answers once, through its callback on the GUI thread, within the time
// limit; nothing waits for the keychain.
class PasswordVault : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Done,
        NotFound,
        // No keychain service answers here at all.
        Unavailable,
        // The service answered with a refusal (locked, denied).
        Failed,
        TimedOut,
    };
    struct Result
    {
        Outcome outcome = Outcome::Failed;
        QString password;
        QString detail;
    };
    using Callback = std::function<void(const Result &)>;

    static constexpr int defaultTimeLimit = 10000;

    explicit PasswordVault(const QString &service, QObject *parent = nullptr);
    // Drops the calls still held.
    ~PasswordVault() override;

    // While held, calls wait and the keychain is not touched: its library and its service
    // connection would otherwise cost the first frame of the window some 50 ms. `release`
    // starts what waited, in order; each call's time limit runs from then.
    void hold();
    void release();

    void setTimeLimit(int milliseconds);
    int timeLimit() const;

    void read(const QString &key, Callback done);
    void write(const QString &key, const QString &password, Callback done);
    void remove(const QString &key, Callback done);

private:
    void run(QKeychain::Job *job, Callback done);

    QString m_service;
    int m_timeLimit = defaultTimeLimit;
    bool m_held = false;
    struct Held
    {
        QKeychain::Job *job;
        std::function<void()> start;
    };
    std::vector<Held> m_waiting;
};
