#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>

class PasswordVault;

// "Remember password" for the current server: the password of each (server, account) pair
// lives in the system keychain. The settings file holds one (sealed) only where no keychain
// service runs (the fallback, reported once), and one saved there by an earlier version until
// the keychain has taken it over. A password the keychain refuses (locked, denied) is kept for
// this run only. GUI thread only; reads answer through a callback, never at once.
class RememberedPasswords : public QObject
{
    Q_OBJECT
public:
    // Keychain-backed unless TARNEX_KEYCHAIN=off (the test suite keeps away from the user's
    // keychain that way).
    static RememberedPasswords *instance();
    // vault == nullptr: the file only.
    explicit RememberedPasswords(PasswordVault *vault, QObject *parent = nullptr);

    bool usesKeychain() const;

    // Stores (or, with an empty password, forgets) the password of an account of the current
    // server. listed: it also joins the saved accounts, as after a successful sign-in; else it
    // is only the password of the current account (the one auto-login uses).
    void save(const QString &account, const QString &password, bool listed = true);
    // The remembered password of the account ("" when none), through done on context.
    void load(const QString &account, QObject *context, std::function<void(QString)> done);
    // Removes a saved account of the current server, with its password.
    void removeAccount(const QString &account);
    // Moves the current server's passwords saved the old way into the keychain.
    void migrate();
    // Keychain calls wait until `releaseKeychain` (the start holds them behind the first frame).
    void holdKeychain();
    void releaseKeychain();

    // True once, after the keychain was found missing.
    bool takeFallbackNotice();

    static QString keyFor(const QString &serverDigest, const QString &account);

signals:
    // The keychain is missing; from now on the file keeps the passwords. Emitted once.
    void keychainUnavailable();
    // A keychain write or removal for the account has ended (inKeychain: it went through).
    void settled(const QString &account, bool inKeychain);

private:
    void toKeychain(const QString &account, const QString &password);
    void removeFromKeychain(const QString &account);
    void clearFileCopies(const QString &digest, const QString &account, const QString &password);
    QString fileCopy(const QString &account) const;
    void fallBack(const QString &detail);
    void toFile(const QString &account, const QString &password, bool listed);

    // Saved while the keychain is in use, by key and kind: what this run gives back before
    // (or instead of) the keychain's answer.
    struct Pending
    {
        QString digest;
        QString account;
        QString password;
        bool listed = true;
    };
    static QString pendingKey(const QString &digest, const QString &account, bool listed);
    const Pending *pendingFor(const QString &account) const;

    QPointer<PasswordVault> m_vault;
    QHash<QString, Pending> m_pending;
    bool m_fallback = false;
    bool m_noticeDue = false;
    // Writes under way, by key and password, so repeated loads start one migration each.
    QSet<QString> m_moving;
};
