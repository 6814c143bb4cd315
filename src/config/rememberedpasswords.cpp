#include "rememberedpasswords.h"

#include "config/configfile.h"
#include "logging.h"
#include "platform/passwordvault.h"

#include <QTimer>
#include <utility>

namespace {

const QString kCurrentPassword = QStringLiteral("currentPassword");
const QString kCurrentAccount = QStringLiteral("currentAccount");

ConfigFile *store()
{
    return ConfigFile::instance();
}

} // namespace

RememberedPasswords *RememberedPasswords::instance()
{
    static RememberedPasswords *passwords = [] {
        PasswordVault *vault = nullptr;
        if (qEnvironmentVariable("TARNEX_KEYCHAIN") != QLatin1String("off"))
            vault = new PasswordVault(QStringLiteral("tarnex"));
        auto *created = new RememberedPasswords(vault);
        if (vault)
            vault->setParent(created);
        return created;
    }();
    return passwords;
}

RememberedPasswords::RememberedPasswords(PasswordVault *vault, QObject *parent)
    : QObject(parent), m_vault(vault), m_fallback(vault == nullptr)
{}

bool RememberedPasswords::usesKeychain() const
{
    return !m_fallback && m_vault;
}

QString RememberedPasswords::keyFor(const QString &serverDigest, const QString &account)
{
    // The digest has a fixed length, so no account name can make two keys meet.
    return serverDigest + QLatin1Char('/') + account;
}

QString RememberedPasswords::pendingKey(const QString &digest, const QString &account, bool listed)
{
    return keyFor(digest, account) +
           (listed ? QStringLiteral("\nlisted") : QStringLiteral("\ncurrent"));
}

const RememberedPasswords::Pending *RememberedPasswords::pendingFor(const QString &account) const
{
    const QString digest = store()->severIpMd5();
    // The listed one was confirmed by a sign-in, so it wins over the current one.
    for (bool listed : {true, false}) {
        const auto found = m_pending.constFind(pendingKey(digest, account, listed));
        if (found != m_pending.constEnd())
            return &found.value();
    }
    return nullptr;
}

void RememberedPasswords::toFile(const QString &account, const QString &password, bool listed)
{
    if (listed)
        store()->setAccountPassword(account, password);
    else if (store()->getMainConfig(kCurrentAccount) == account)
        store()->setMainConfig(kCurrentPassword, password);
}

void RememberedPasswords::save(const QString &account, const QString &password, bool listed)
{
    if (account.isEmpty())
        return;
    if (!usesKeychain()) {
        toFile(account, password, listed);
        return;
    }
    // With a keychain the file holds no password at all, not even until the keychain
    // confirms: an older copy goes now, and the account is still listed.
    toFile(account, QString(), listed);
    const QString digest = store()->severIpMd5();
    m_pending.insert(pendingKey(digest, account, listed), {digest, account, password, listed});
    if (password.isEmpty())
        removeFromKeychain(account);
    else
        toKeychain(account, password);
}

QString RememberedPasswords::fileCopy(const QString &account) const
{
    const QString listed = store()->getAccountPassword(account);
    if (!listed.isEmpty())
        return listed;
    if (store()->getMainConfig(kCurrentAccount) == account)
        return store()->getMainConfig(kCurrentPassword);
    return {};
}

void RememberedPasswords::load(const QString &account, QObject *context,
                               std::function<void(QString)> done)
{
    QPointer<QObject> receiver(context);
    auto answer = [receiver, done = std::move(done)](const QString &password) {
        if (receiver)
            done(password);
    };
    if (const Pending *pending = account.isEmpty() ? nullptr : pendingFor(account)) {
        const QString password = pending->password;
        QTimer::singleShot(0, this, [answer, password] { answer(password); });
        return;
    }
    const QString copy = account.isEmpty() ? QString() : fileCopy(account);
    if (!copy.isEmpty() || account.isEmpty() || !usesKeychain()) {
        // Saved the old way (or not yet confirmed): use it, and move it on.
        if (!copy.isEmpty() && usesKeychain())
            toKeychain(account, copy);
        QTimer::singleShot(0, this, [answer, copy] { answer(copy); });
        return;
    }
    m_vault->read(keyFor(store()->severIpMd5(), account),
                  [this, answer](const PasswordVault::Result &result) {
                      if (result.outcome == PasswordVault::Outcome::Unavailable)
                          fallBack(result.detail);
                      else if (result.outcome != PasswordVault::Outcome::Done &&
                               result.outcome != PasswordVault::Outcome::NotFound)
                          qCWarning(lcConfig) << "remembered password not read:" << result.detail;
                      answer(result.password);
                  });
}

void RememberedPasswords::holdKeychain()
{
    if (m_vault)
        m_vault->hold();
}

void RememberedPasswords::releaseKeychain()
{
    if (m_vault)
        m_vault->release();
}

void RememberedPasswords::removeAccount(const QString &account)
{
    const QString digest = store()->severIpMd5();
    m_pending.remove(pendingKey(digest, account, true));
    m_pending.remove(pendingKey(digest, account, false));
    store()->removeAccount(account);
    if (usesKeychain() && !account.isEmpty())
        removeFromKeychain(account);
}

void RememberedPasswords::migrate()
{
    if (!usesKeychain())
        return;
    // The current password first: the listed one was confirmed by a sign-in, so it is the one
    // that should end up in the keychain when the two differ.
    const QString current = store()->getMainConfig(kCurrentAccount);
    const QString currentPassword = store()->getMainConfig(kCurrentPassword);
    if (!current.isEmpty() && !currentPassword.isEmpty())
        toKeychain(current, currentPassword);
    const QStringList accounts = store()->getAllAccount();
    for (const QString &account : accounts) {
        const QString password = store()->getAccountPassword(account);
        if (!password.isEmpty())
            toKeychain(account, password);
    }
}

void RememberedPasswords::toKeychain(const QString &account, const QString &password)
{
    const QString digest = store()->severIpMd5();
    const QString key = keyFor(digest, account);
    const QString moving = key + QChar(0) + password;
    if (m_moving.contains(moving))
        return;
    m_moving.insert(moving);
    m_vault->write(key, password,
                   [this, digest, account, password, moving](const PasswordVault::Result &result) {
                       m_moving.remove(moving);
                       const bool stored = result.outcome == PasswordVault::Outcome::Done;
                       if (stored) {
                           clearFileCopies(digest, account, password);
                           for (bool listed : {true, false}) {
                               const QString key = pendingKey(digest, account, listed);
                               if (m_pending.value(key).password == password)
                                   m_pending.remove(key);
                           }
                       } else if (result.outcome == PasswordVault::Outcome::Unavailable) {
                           fallBack(result.detail);
                       } else {
                           qCWarning(lcConfig)
                               << "password remembered for this run only:" << result.detail;
                       }
                       emit settled(account, stored);
                   });
}

void RememberedPasswords::removeFromKeychain(const QString &account)
{
    m_vault->remove(keyFor(store()->severIpMd5(), account),
                    [this, account](const PasswordVault::Result &result) {
                        const bool removed = result.outcome == PasswordVault::Outcome::Done ||
                                             result.outcome == PasswordVault::Outcome::NotFound;
                        if (result.outcome == PasswordVault::Outcome::Unavailable)
                            fallBack(result.detail);
                        else if (!removed)
                            qCWarning(lcConfig)
                                << "remembered password not removed:" << result.detail;
                        emit settled(account, removed);
                    });
}

void RememberedPasswords::clearFileCopies(const QString &digest, const QString &account,
                                          const QString &password)
{
    // Another server chosen meanwhile: its groups are not ours to touch. The copy stays and
    // moves at the next load.
    if (store()->severIpMd5() != digest)
        return;
    // Only what still equals the confirmed password goes; a newer one waits for its own write.
    if (store()->getAccountPassword(account) == password)
        store()->setAccountPassword(account, QString());
    if (store()->getMainConfig(kCurrentAccount) == account &&
        store()->getMainConfig(kCurrentPassword) == password)
        store()->setMainConfig(kCurrentPassword, QString());
}

void RememberedPasswords::fallBack(const QString &detail)
{
    if (m_fallback)
        return;
    qCWarning(lcConfig) << "no keychain service; passwords stay in the settings file:" << detail;
    m_fallback = true;
    // What this run was handing to the keychain goes to the file instead (sealed). Another
    // server's entries stay in memory: their groups are not the current ones.
    const QString digest = store()->severIpMd5();
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->digest != digest) {
            ++it;
            continue;
        }
        toFile(it->account, it->password, it->listed);
        it = m_pending.erase(it);
    }
    m_noticeDue = true;
    emit keychainUnavailable();
}

bool RememberedPasswords::takeFallbackNotice()
{
    const bool due = m_noticeDue;
    m_noticeDue = false;
    return due;
}
