#pragma once

#include <QByteArray>
#include <QString>

// Decides whether a downloaded package is the one the feed describes, before anything of it is
// unpacked. The feed may name the package's SHA-256 digest (hex); a build with a release public
// key (Ed25519, raw 32 bytes) also requires the feed's signature over the raw digest (Base64).
class PackageVerifier
{
public:
    struct Expected
    {
        QString sha256;    // empty: the feed names no digest
        QString signature; // empty: the feed carries no signature
    };

    // The release key this build was configured with (empty in a build without one).
    static QByteArray releasePublicKey();

    // Empty when the package at `path` passes; otherwise why not, for the log. Reads the whole
    // file, so it belongs off the GUI thread.
    static QString check(const QString &path, const Expected &expected,
                         const QByteArray &publicKey);

    // Whether `signature` is a valid Ed25519 signature of `message` under `publicKey`.
    static bool verifyEd25519(const QByteArray &publicKey, const QByteArray &message,
                              const QByteArray &signature);
};
