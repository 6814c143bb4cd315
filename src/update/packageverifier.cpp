#include "packageverifier.h"

#include <QCryptographicHash>
#include <QFile>

#include <openssl/evp.h>

#include <memory>

#ifndef TARNEX_RELEASE_PUBLIC_KEY
#define TARNEX_RELEASE_PUBLIC_KEY ""
#endif

QByteArray PackageVerifier::releasePublicKey()
{
    return QByteArray::fromBase64(QByteArrayLiteral(TARNEX_RELEASE_PUBLIC_KEY));
}

bool PackageVerifier::verifyEd25519(const QByteArray &publicKey, const QByteArray &message,
                                    const QByteArray &signature)
{
    if (publicKey.size() != 32 || signature.size() != 64)
        return false;
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                    reinterpret_cast<const unsigned char *>(publicKey.constData()),
                                    size_t(publicKey.size())),
        &EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!key || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(),
                            reinterpret_cast<const unsigned char *>(signature.constData()),
                            size_t(signature.size()),
                            reinterpret_cast<const unsigned char *>(message.constData()),
                            size_t(message.size())) == 1;
}

QString PackageVerifier::check(const QString &path, const Expected &expected,
                               const QByteArray &publicKey)
{
    const bool keyed = !publicKey.isEmpty();
    if (expected.sha256.isEmpty() && !keyed)
        return QString(); // an older feed in a build without a key: as before
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the package: ") + file.errorString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QStringLiteral("cannot read the package: ") + file.errorString();
    const QByteArray digest = hash.result();

    if (!expected.sha256.isEmpty() && QByteArray::fromHex(expected.sha256.toLatin1()) != digest) {
        return QStringLiteral("the package's digest %1 is not the feed's %2")
            .arg(QString::fromLatin1(digest.toHex()), expected.sha256);
    }
    if (!keyed)
        return QString();
    if (expected.signature.isEmpty())
        return QStringLiteral("the feed carries no signature for the package");
    const QByteArray signature = QByteArray::fromBase64(expected.signature.toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!verifyEd25519(publicKey, digest, signature))
        return QStringLiteral("the package's signature does not verify");
    return QString();
}
