#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What the vendor signs for a release: product, platform, version, package file name, size and
// SHA-256. The signature covers the manifest's exact bytes, so nothing in it can be changed, and
// an older or another platform's genuine manifest is told apart by what it says.
struct ReleaseManifest
{
    QString product;
    QString platform;
    QString version;
    QString name;
    qint64 size = -1;
    QString sha256; // hex

    // False when `bytes` is not one complete manifest of this product.
    static bool parse(const QByteArray &bytes, ReleaseManifest *manifest);
    // "linux", "win" or "mac": the platform whose packages this program installs.
    static QString thisPlatform();
};

// Whether a feed's release may be installed over the running version, decided before anything
// is downloaded.
struct ReleaseCheck
{
    enum class Verdict {
        Accepted,      // signed, newer, for this platform
        Unverified,    // no signature, and this build accepts that (developer builds only)
        Unsigned,      // no manifest or no signature
        BadSignature,  // no trusted key verifies it, or it is no manifest
        NotNewer,      // a genuine manifest of the running or an older version
        OtherPlatform, // a genuine manifest of another platform
    };

    Verdict verdict = Verdict::Unsigned;
    ReleaseManifest manifest; // what is to be installed (for Unverified: what the feed says)

    // `manifest` and `signature` as the feed carries them (decoded); `feedVersion` and `feedName`
    // stand in only where an unsigned release is accepted.
    static ReleaseCheck of(const QByteArray &manifest, const QByteArray &signature,
                           const QString &feedVersion, const QString &feedName,
                           const QString &runningVersion, const QList<QByteArray> &keys,
                           bool acceptUnsigned);

    bool installable() const
    {
        return verdict == Verdict::Accepted || verdict == Verdict::Unverified;
    }
    // Why the release is refused, in the version dialog's words; empty when it is installable.
    QString refusalText() const;
    // The same for the log.
    QString reason() const;
};
