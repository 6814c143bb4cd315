#include "passwordvault.h"

#include <QTimer>
#include <qt5keychain/keychain.h>

#include <memory>

namespace {

PasswordVault::Result resultOf(QKeychain::Job *job)
{
    PasswordVault::Result result;
    result.detail = job->errorString();
    switch (job->error()) {
    case QKeychain::NoError:
        result.outcome = PasswordVault::Outcome::Done;
        if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(job))
            result.password = read->textData();
        result.detail.clear();
        break;
    case QKeychain::EntryNotFound:
        result.outcome = PasswordVault::Outcome::NotFound;
        break;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
    // A missing D-Bus service reaches us as a plain failure of the call.
    case QKeychain::OtherError:
        result.outcome = PasswordVault::Outcome::Unavailable;
        break;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        result.outcome = PasswordVault::Outcome::Failed;
        break;
    }
    return result;
}

} // namespace

PasswordVault::PasswordVault(const QString &service, QObject *parent)
    : QObject(parent), m_service(service)
{}

PasswordVault::~PasswordVault()
{
    // Never started, so they would never delete themselves.
    for (const Held &held : m_waiting)
        delete held.job;
}

void PasswordVault::hold()
{
    m_held = true;
}

void PasswordVault::release()
{
    m_held = false;
    const std::vector<Held> waiting = std::move(m_waiting);
    m_waiting.clear();
    for (const Held &held : waiting)
        held.start();
}

void PasswordVault::setTimeLimit(int milliseconds)
{
    m_timeLimit = milliseconds;
}

int PasswordVault::timeLimit() const
{
    return m_timeLimit;
}

void PasswordVault::read(const QString &key, Callback done)
{
    auto *job = new QKeychain::ReadPasswordJob(m_service);
    job->setKey(key);
    run(job, std::move(done));
}

void PasswordVault::write(const QString &key, const QString &password, Callback done)
{
    auto *job = new QKeychain::WritePasswordJob(m_service);
    job->setKey(key);
    job->setTextData(password);
    run(job, std::move(done));
}

void PasswordVault::remove(const QString &key, Callback done)
{
    auto *job = new QKeychain::DeletePasswordJob(m_service);
    job->setKey(key);
    run(job, std::move(done));
}

void PasswordVault::run(QKeychain::Job *job, Callback done)
{
    // Jobs have no parent: one that outlives the vault still deletes itself when it ends, and
    // its answer then finds no receiver.
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    auto answer = std::make_shared<Callback>(std::move(done));
    auto finish = [timer, answer](const Result &result) {
        if (!*answer)
            return;
        const Callback callback = std::move(*answer);
        *answer = nullptr;
        timer->stop();
        timer->deleteLater();
        callback(result);
    };
    connect(job, &QKeychain::Job::finished, this,
            [finish](QKeychain::Job *ended) { finish(resultOf(ended)); });
    const int limit = m_timeLimit;
    // A keychain that hangs cannot be cancelled; its job is left to end on its own.
    connect(timer, &QTimer::timeout, this, [finish, limit] {
        finish({Outcome::TimedOut, QString(), QStringLiteral("no answer within %1 ms").arg(limit)});
    });
    auto start = [timer, job, limit] {
        timer->start(limit);
        job->start();
    };
    if (m_held)
        m_waiting.push_back({job, start});
    else
        start();
}
