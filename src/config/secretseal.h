#pragma once

#include <QByteArray>
#include <QString>

// Seals short secrets (remembered passwords) for the settings file: AES-256-CBC with a fresh
// IV per value and an HMAC-SHA256 over IV and cipher text, under a random key of this
// installation kept in its own private file beside the settings. A copy of the settings file
// without that key file reveals nothing. Not thread-safe: the settings store calls it under
// its lock.
class SecretSeal
{
public:
    explicit SecretSeal(const QString &keyFilePath);

    // "" stays "" (nothing to hide); the key file is created on the first seal.
    QString seal(const QString &plain);
    // The secret, or "" when the value is not sealed, was sealed under another key or was
    // changed since.
    QString open(const QString &sealed);

    static bool isSealed(const QString &value);

private:
    // The 64 key bytes (cipher key, then MAC key); empty when there is none and create is
    // false, or the file cannot be written.
    QByteArray key(bool create);

    const QString m_keyFile;
    QByteArray m_key;
};
