#include "releasemanifest.h"

#include "language/text.h"
#include "net/urlsegment.h"
#include "update/packageverifier.h"
#include "update/updatefeed.h"
#include "json/peerjson.h"

#include <QJsonObject>
#include <QRegularExpression>

namespace {
// A manifest is a few hundred bytes; anything much larger is not one.
constexpr int manifestLimit = 4096;
} // namespace

bool ReleaseManifest::parse(const QByteArray &bytes, ReleaseManifest *manifest)
{
    QJsonValue value;
    if (bytes.size() > manifestLimit || !PeerJson::parse(bytes, &value) || !value.isObject())
        return false;
    const QJsonObject object = value.toObject();
    ReleaseManifest read;
    read.product = object.value(QLatin1String("product")).toString();
    read.platform = object.value(QLatin1String("platform")).toString();
    read.version = object.value(QLatin1String("version")).toString();
    read.name = object.value(QLatin1String("name")).toString();
    const QJsonValue size = object.value(QLatin1String("size"));
    read.size = size.isDouble() ? qint64(size.toDouble()) : -1;
    read.sha256 = object.value(QLatin1String("sha256")).toString().toLower();
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    if (read.product != QLatin1String("tarnex") || read.platform.isEmpty() ||
        !UpdateFeed::compareVersions(read.version, read.version) || read.size <= 0 ||
        double(read.size) != size.toDouble() || !hex.match(read.sha256).hasMatch() ||
        UrlSegment::plainFileName(read.name) != read.name)
        return false;
    *manifest = read;
    return true;
}

QString ReleaseManifest::thisPlatform()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("win");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("mac");
#else
    return QStringLiteral("linux");
#endif
}

ReleaseCheck ReleaseCheck::of(const QByteArray &manifest, const QByteArray &signature,
                              const QString &feedVersion, const QString &feedName,
                              const QString &runningVersion, const QList<QByteArray> &keys,
                              bool acceptUnsigned)
{
    ReleaseCheck check;
    const bool unsignedFeed = manifest.isEmpty() || signature.isEmpty();
    if (unsignedFeed && !acceptUnsigned) {
        check.verdict = Verdict::Unsigned;
        return check;
    }
    if (unsignedFeed) {
        // A developer build: what the feed says, checked against an unsigned manifest if any.
        if (!ReleaseManifest::parse(manifest, &check.manifest)) {
            check.manifest = ReleaseManifest();
            check.manifest.version = feedVersion;
            check.manifest.name = feedName;
            check.manifest.platform = ReleaseManifest::thisPlatform();
        }
        check.verdict = Verdict::Unverified;
    } else {
        bool verified = false;
        for (const QByteArray &key : keys)
            verified = verified || PackageVerifier::verifyEd25519(key, manifest, signature);
        if (!verified || !ReleaseManifest::parse(manifest, &check.manifest)) {
            check.manifest = ReleaseManifest();
            check.verdict = Verdict::BadSignature;
            return check;
        }
        check.verdict = Verdict::Accepted;
    }
    if (check.manifest.platform != ReleaseManifest::thisPlatform()) {
        check.verdict = Verdict::OtherPlatform;
        return check;
    }
    const std::optional<int> order =
        UpdateFeed::compareVersions(check.manifest.version, runningVersion);
    if (!order || *order <= 0)
        check.verdict = Verdict::NotNewer;
    return check;
}

QString ReleaseCheck::refusalText() const
{
    switch (verdict) {
    case Verdict::Accepted:
    case Verdict::Unverified:
        return QString();
    case Verdict::Unsigned:
        return tarnex::text(QStringLiteral("fail_release_unsigned"),
                            QStringLiteral("此更新没有发布签名，已拒绝安装；客户端仍为当前版本"));
    case Verdict::BadSignature:
        return tarnex::text(
            QStringLiteral("fail_release_signature"),
            QStringLiteral(
                "此更新的发布签名校验失败，可能已被篡改，已拒绝安装；客户端仍为当前版本"));
    case Verdict::NotNewer:
        return tarnex::text(
            QStringLiteral("fail_release_older"),
            QStringLiteral("此更新的签名版本不比当前版本新，已拒绝安装；客户端仍为当前版本"));
    case Verdict::OtherPlatform:
        return tarnex::text(
            QStringLiteral("fail_release_platform"),
            QStringLiteral("此更新是其他系统的安装包，已拒绝安装；客户端仍为当前版本"));
    }
    return QString();
}

QString ReleaseCheck::reason() const
{
    switch (verdict) {
    case Verdict::Accepted:
        return QStringLiteral("signed release %1").arg(manifest.version);
    case Verdict::Unverified:
        return QStringLiteral("UNSIGNED release %1 accepted by this developer build")
            .arg(manifest.version);
    case Verdict::Unsigned:
        return QStringLiteral("the feed carries no signed manifest");
    case Verdict::BadSignature:
        return QStringLiteral("the manifest is malformed or no trusted key verifies it");
    case Verdict::NotNewer:
        return QStringLiteral("the signed version %1 is not newer").arg(manifest.version);
    case Verdict::OtherPlatform:
        return QStringLiteral("the signed platform is %1").arg(manifest.platform);
    }
    return QString();
}
