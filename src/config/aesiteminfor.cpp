#include "aesiteminfor.h"

#include "config/configfile.h"
#include "config/qaesencryption.h"

AesIteminfor::AesIteminfor(QObject *parent)
    : QObject(parent)
    , m_key(QByteArrayLiteral("Kq7RzT2mWp9XcL4vHn8BdY3sFg6JeA1u"))
    , m_iv(QByteArrayLiteral("4071926385147203"))
{}

QString AesIteminfor::cryptData(const QString &crypts)
{
    const QByteArray cipher =
        QAESEncryption::crypt(QAESEncryption::AES_256, QAESEncryption::CBC, crypts.toUtf8(), m_key,
                              m_iv, QAESEncryption::ZERO);
    QByteArray wrapped = cipher.toBase64();
    if (ConfigFile::instance()->clientUrlFlag())
        wrapped = wrapped.toBase64();
    return QString::fromLatin1(wrapped);
}

QString AesIteminfor::decryptData(const QString &decrypts)
{
    QByteArray cipher = QByteArray::fromBase64(decrypts.toLocal8Bit());
    if (ConfigFile::instance()->clientUrlFlag())
        cipher = QByteArray::fromBase64(cipher);
    const QByteArray plain = QAESEncryption::decrypt(QAESEncryption::AES_256, QAESEncryption::CBC,
                                                     cipher, m_key, m_iv, QAESEncryption::ZERO);
    // Zero padding cannot be told from a zero in the text, so the text ends at the first zero.
    const int end = plain.indexOf('\0');
    return QString::fromUtf8(end < 0 ? plain : plain.left(end));
}
