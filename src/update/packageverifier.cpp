#include "packageverifier.h"

#include <QCryptographicHash>
#include <QFile>

#include <openssl/evp.h>

#include <memory>

#ifndef TARNEX_RELEASE_PUBLIC_KEYS
#define TARNEX_RELEASE_PUBLIC_KEYS ""
#endif
#ifndef TARNEX_UNSIGNED_UPDATES
#define TARNEX_UNSIGNED_UPDATES 0
#endif

QList<QByteArray> PackageVerifier::releasePublicKeys()
{
    QList<QByteArray> keys;
    const QList<QByteArray> listed = QByteArrayLiteral(TARNEX_RELEASE_PUBLIC_KEYS).split(',');
    for (const QByteArray &text : listed) {
        const QByteArray key =
            QByteArray::fromBase64(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
        if (key.size() == 32)
            keys.append(key);
    }
    return keys;
}

bool PackageVerifier::unsignedUpdatesAllowed()
{
    return TARNEX_UNSIGNED_UPDATES != 0;
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

QString PackageVerifier::checkPackage(const QString &path, qint64 size, const QString &sha256)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the package: ") + file.errorString();
    if (size >= 0 && file.size() != size)
        return QStringLiteral("the package has %1 bytes, the manifest says %2")
            .arg(file.size())
            .arg(size);
    if (sha256.isEmpty())
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QStringLiteral("cannot read the package: ") + file.errorString();
    const QByteArray digest = hash.result().toHex();
    if (digest != sha256.toLatin1().toLower())
        return QStringLiteral("the package's digest %1 is not the manifest's %2")
            .arg(QString::fromLatin1(digest), sha256);
    return QString();
}
