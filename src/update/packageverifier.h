#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The keys a release manifest must verify under, and the check of a downloaded package against
// the manifest's size and digest, before anything of it is unpacked.
class PackageVerifier
{
public:
    // The release keys this build was configured with (Ed25519, raw 32 bytes each).
    static QList<QByteArray> releasePublicKeys();
    // Whether this is a developer build that also installs unsigned releases.
    static bool unsignedUpdatesAllowed();

    // Empty when the file at `path` has exactly `size` bytes with that SHA-256 (hex); otherwise
    // why not, for the log. A negative size and an empty digest (an unsigned release in a
    // developer build) check nothing. Reads the whole file, so it belongs off the GUI thread.
    static QString checkPackage(const QString &path, qint64 size, const QString &sha256);

    // Whether `signature` is a valid Ed25519 signature of `message` under `publicKey`.
    static bool verifyEd25519(const QByteArray &publicKey, const QByteArray &message,
                              const QByteArray &signature);
};
