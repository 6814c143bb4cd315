#pragma once

#include <QByteArray>
#include <QObject>

// AES block cipher (128, 192 and 256-bit keys) with the ECB, CBC, CFB (128-bit segments) and
// OFB modes and three paddings. Encoding pads the data to whole 16-byte blocks; decoding
// leaves any padding in place. Wrong key or IV lengths and ragged cipher text give an empty
// result rather than reading past the given bytes.
class QAESEncryption : public QObject
{
    Q_OBJECT
public:
    // Fixed underlying type: values from outside the enumeration (e.g. from QML) are defined.
    enum Aes : int { AES_128 = 0, AES_192 = 1, AES_256 = 2 };
    Q_ENUM(Aes)
    enum Mode : int { ECB = 0, CBC = 1, CFB = 2, OFB = 3 };
    Q_ENUM(Mode)
    enum Padding : int { ZERO = 0, PKCS7 = 1, ISO = 2 };
    Q_ENUM(Padding)

    explicit QAESEncryption(Aes level, Mode mode, Padding padding = ZERO,
                            QObject *parent = nullptr);

    static QByteArray crypt(Aes level, Mode mode, const QByteArray &rawText, const QByteArray &key,
                            const QByteArray &iv = QByteArray(), Padding padding = ZERO);
    static QByteArray decrypt(Aes level, Mode mode, const QByteArray &rawText,
                              const QByteArray &key, const QByteArray &iv = QByteArray(),
                              Padding padding = ZERO);

    QByteArray encode(const QByteArray &rawText, const QByteArray &key,
                      const QByteArray &iv = QByteArray()) const;
    QByteArray decode(const QByteArray &rawText, const QByteArray &key,
                      const QByteArray &iv = QByteArray()) const;
    // The round-key schedule, 16 * (Nr + 1) bytes; empty when the key has the wrong length.
    QByteArray expandKey(const QByteArray &key) const;

    int keyLength() const { return m_keyLen; }
    int rounds() const { return m_nr; }

private:
    using Block = unsigned char[16];

    void encryptBlock(const unsigned char *roundKeys, Block state) const;
    void decryptBlock(const unsigned char *roundKeys, Block state) const;
    QByteArray padded(const QByteArray &rawText) const;
    bool acceptable(const QByteArray &key, const QByteArray &iv) const;

    static constexpr int m_nb = 4;
    static constexpr int m_blocklen = 16;
    Aes m_level;
    Mode m_mode;
    Padding m_padding;
    int m_nk;
    int m_keyLen;
    int m_nr;
};
