#include "secretseal.h"

#include "config/qaesencryption.h"
#include "logging.h"
#include "platform/privatefiles.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

namespace {

const QString kPrefix = QStringLiteral("sealed1:");
constexpr int kKeyBytes = 64;
constexpr int kIvBytes = 16;
constexpr int kMacBytes = 32;

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(bytes.data()),
                                         reinterpret_cast<quint32 *>(bytes.data() + count));
    return bytes;
}

QByteArray macOf(const QByteArray &key, const QByteArray &data)
{
    return QMessageAuthenticationCode::hash(data, key.mid(32), QCryptographicHash::Sha256);
}

// Compares without stopping at the first difference.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    char difference = 0;
    for (int i = 0; i < a.size(); ++i)
        difference |= char(a.at(i) ^ b.at(i));
    return difference == 0;
}

} // namespace

SecretSeal::SecretSeal(const QString &keyFilePath) : m_keyFile(keyFilePath) {}

bool SecretSeal::isSealed(const QString &value)
{
    return value.startsWith(kPrefix);
}

QByteArray SecretSeal::key(bool create)
{
    if (m_key.size() == kKeyBytes)
        return m_key;
    QFile file(m_keyFile);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray stored = file.read(kKeyBytes + 1);
        if (stored.size() == kKeyBytes)
            return m_key = stored;
        file.close();
    }
    if (!create)
        return {};
    // The file is made private before the key goes in; a damaged one is replaced (what was
    // sealed under it could not be opened anyway).
    const QByteArray fresh = randomBytes(kKeyBytes);
    if (!PrivateFiles::prepareFile(m_keyFile) || !file.open(QIODevice::WriteOnly) ||
        file.write(fresh) != kKeyBytes || !file.flush()) {
        qCWarning(lcConfig) << "installation key not written:" << m_keyFile << file.errorString();
        return {};
    }
    return m_key = fresh;
}

QString SecretSeal::seal(const QString &plain)
{
    if (plain.isEmpty())
        return {};
    const QByteArray secret = key(true);
    if (secret.isEmpty())
        return {};
    const QByteArray iv = randomBytes(kIvBytes);
    // Padded here, always 1 to 16 bytes: the cipher adds none to a text of whole blocks, and
    // then no padding could be told from a text that ends like one.
    QByteArray text = plain.toUtf8();
    const int pad = 16 - text.size() % 16;
    text.append(QByteArray(pad, char(pad)));
    const QByteArray cipher = QAESEncryption::crypt(QAESEncryption::AES_256, QAESEncryption::CBC,
                                                    text, secret.left(32), iv);
    const QByteArray body = iv + cipher;
    return kPrefix + QString::fromLatin1((body + macOf(secret, body)).toBase64());
}

QString SecretSeal::open(const QString &sealed)
{
    if (!isSealed(sealed))
        return {};
    const QByteArray secret = key(false);
    const QByteArray whole = QByteArray::fromBase64(sealed.mid(kPrefix.size()).toLatin1());
    if (secret.isEmpty() || whole.size() < kIvBytes + 16 + kMacBytes)
        return {};
    const QByteArray body = whole.left(whole.size() - kMacBytes);
    if (!sameBytes(macOf(secret, body), whole.right(kMacBytes)))
        return {};
    QByteArray plain =
        QAESEncryption::decrypt(QAESEncryption::AES_256, QAESEncryption::CBC, body.mid(kIvBytes),
                                secret.left(32), body.left(kIvBytes));
    // Decoding leaves the padding in place; the MAC vouches for it.
    const int pad = plain.isEmpty() ? 0 : uchar(plain.back());
    if (pad < 1 || pad > 16 || pad > plain.size())
        return {};
    plain.chop(pad);
    return QString::fromUtf8(plain);
}
