#include "qaesencryption.h"

#include <array>
#include <cstring>

namespace {

using Byte = unsigned char;
using Table = std::array<Byte, 256>;

constexpr Byte xtime(Byte x)
{
    return static_cast<Byte>((x << 1) ^ ((x & 0x80) ? 0x1b : 0x00));
}

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr Byte gmul(Byte a, Byte b)
{
    Byte product = 0;
    while (b) {
        if (b & 1)
            product ^= a;
        a = xtime(a);
        b >>= 1;
    }
    return product;
}

constexpr Byte rotl8(Byte x, int n)
{
    return static_cast<Byte>((x << n) | (x >> (8 - n)));
}

// The substitution table is derived rather than typed in: multiplicative inverse followed by
// the affine transformation. The inverse comes from powers of the generator 3 (x^-1 is
// 3^(255 - log x)), which keeps the work far inside every compiler's constant-evaluation limit.
constexpr Table makeSbox()
{
    Table power{};
    Table logarithm{};
    Byte value = 1;
    for (int i = 0; i < 255; ++i) {
        power[i] = value;
        logarithm[value] = static_cast<Byte>(i);
        value = static_cast<Byte>(value ^ xtime(value));
    }
    Table box{};
    for (int i = 0; i < 256; ++i) {
        const Byte inverse = i == 0 ? Byte(0) : power[(255 - logarithm[i]) % 255];
        box[i] = static_cast<Byte>(inverse ^ rotl8(inverse, 1) ^ rotl8(inverse, 2) ^
                                   rotl8(inverse, 3) ^ rotl8(inverse, 4) ^ 0x63);
    }
    return box;
}

constexpr Table kSbox = makeSbox();

constexpr Table makeInverseSbox()
{
    Table box{};
    for (int i = 0; i < 256; ++i)
        box[kSbox[i]] = static_cast<Byte>(i);
    return box;
}

constexpr Table kInverseSbox = makeInverseSbox();

// Round constants x^(i-1) for i = 1..10; index 0 is unused.
constexpr std::array<Byte, 11> makeRcon()
{
    std::array<Byte, 11> rcon{};
    Byte value = 1;
    for (int i = 1; i < 11; ++i) {
        rcon[i] = value;
        value = xtime(value);
    }
    return rcon;
}

constexpr std::array<Byte, 11> kRcon = makeRcon();

static_assert(kSbox[0x00] == 0x63 && kSbox[0x53] == 0xed && kSbox[0xff] == 0x16,
              "S-box does not match the AES table");
static_assert(kRcon[10] == 0x36, "round constants do not match");

// The state is kept in input order: byte 4c + r is row r of column c.
void addRoundKey(Byte *state, const Byte *roundKey)
{
    for (int i = 0; i < 16; ++i)
        state[i] ^= roundKey[i];
}

void subBytes(Byte *state, const Table &box)
{
    for (int i = 0; i < 16; ++i)
        state[i] = box[state[i]];
}

void shiftRows(Byte *state)
{
    Byte old[16];
    std::memcpy(old, state, 16);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            state[4 * c + r] = old[4 * ((c + r) % 4) + r];
}

void invShiftRows(Byte *state)
{
    Byte old[16];
    std::memcpy(old, state, 16);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            state[4 * ((c + r) % 4) + r] = old[4 * c + r];
}

void mixColumns(Byte *state)
{
    for (int c = 0; c < 4; ++c) {
        Byte *col = state + 4 * c;
        const Byte a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = static_cast<Byte>(xtime(a0) ^ (xtime(a1) ^ a1) ^ a2 ^ a3);
        col[1] = static_cast<Byte>(a0 ^ xtime(a1) ^ (xtime(a2) ^ a2) ^ a3);
        col[2] = static_cast<Byte>(a0 ^ a1 ^ xtime(a2) ^ (xtime(a3) ^ a3));
        col[3] = static_cast<Byte>((xtime(a0) ^ a0) ^ a1 ^ a2 ^ xtime(a3));
    }
}

void invMixColumns(Byte *state)
{
    for (int c = 0; c < 4; ++c) {
        Byte *col = state + 4 * c;
        const Byte a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = gmul(a0, 0x0e) ^ gmul(a1, 0x0b) ^ gmul(a2, 0x0d) ^ gmul(a3, 0x09);
        col[1] = gmul(a0, 0x09) ^ gmul(a1, 0x0e) ^ gmul(a2, 0x0b) ^ gmul(a3, 0x0d);
        col[2] = gmul(a0, 0x0d) ^ gmul(a1, 0x09) ^ gmul(a2, 0x0e) ^ gmul(a3, 0x0b);
        col[3] = gmul(a0, 0x0b) ^ gmul(a1, 0x0d) ^ gmul(a2, 0x09) ^ gmul(a3, 0x0e);
    }
}

void xorBlock(Byte *target, const Byte *other)
{
    for (int i = 0; i < 16; ++i)
        target[i] ^= other[i];
}

} // namespace

QAESEncryption::QAESEncryption(Aes level, Mode mode, Padding padding, QObject *parent)
    : QObject(parent), m_level(level), m_mode(mode), m_padding(padding)
{
    switch (m_level) {
    case AES_192:
        m_nk = 6;
        m_keyLen = 24;
        m_nr = 12;
        break;
    case AES_256:
        m_nk = 8;
        m_keyLen = 32;
        m_nr = 14;
        break;
    case AES_128:
    default:
        m_nk = 4;
        m_keyLen = 16;
        m_nr = 10;
        break;
    }
}

QByteArray QAESEncryption::crypt(Aes level, Mode mode, const QByteArray &rawText,
                                 const QByteArray &key, const QByteArray &iv, Padding padding)
{
    return QAESEncryption(level, mode, padding).encode(rawText, key, iv);
}

QByteArray QAESEncryption::decrypt(Aes level, Mode mode, const QByteArray &rawText,
                                   const QByteArray &key, const QByteArray &iv, Padding padding)
{
    return QAESEncryption(level, mode, padding).decode(rawText, key, iv);
}

QByteArray QAESEncryption::expandKey(const QByteArray &key) const
{
    if (key.size() != m_keyLen)
        return {};
    const int words = m_nb * (m_nr + 1);
    QByteArray schedule(4 * words, '\0');
    auto *w = reinterpret_cast<Byte *>(schedule.data());
    std::memcpy(w, key.constData(), static_cast<size_t>(m_keyLen));
    for (int i = m_nk; i < words; ++i) {
        Byte temp[4];
        std::memcpy(temp, w + 4 * (i - 1), 4);
        if (i % m_nk == 0) {
            const Byte first = temp[0];
            temp[0] = kSbox[temp[1]] ^ kRcon[i / m_nk];
            temp[1] = kSbox[temp[2]];
            temp[2] = kSbox[temp[3]];
            temp[3] = kSbox[first];
        } else if (m_nk > 6 && i % m_nk == 4) {
            for (Byte &b : temp)
                b = kSbox[b];
        }
        for (int j = 0; j < 4; ++j)
            w[4 * i + j] = w[4 * (i - m_nk) + j] ^ temp[j];
    }
    return schedule;
}

void QAESEncryption::encryptBlock(const unsigned char *roundKeys, Block state) const
{
    addRoundKey(state, roundKeys);
    for (int round = 1; round < m_nr; ++round) {
        subBytes(state, kSbox);
        shiftRows(state);
        mixColumns(state);
        addRoundKey(state, roundKeys + 16 * round);
    }
    subBytes(state, kSbox);
    shiftRows(state);
    addRoundKey(state, roundKeys + 16 * m_nr);
}

void QAESEncryption::decryptBlock(const unsigned char *roundKeys, Block state) const
{
    addRoundKey(state, roundKeys + 16 * m_nr);
    for (int round = m_nr - 1; round > 0; --round) {
        invShiftRows(state);
        subBytes(state, kInverseSbox);
        addRoundKey(state, roundKeys + 16 * round);
        invMixColumns(state);
    }
    invShiftRows(state);
    subBytes(state, kInverseSbox);
    addRoundKey(state, roundKeys);
}

QByteArray QAESEncryption::padded(const QByteArray &rawText) const
{
    const int pad = (m_blocklen - rawText.size() % m_blocklen) % m_blocklen;
    if (pad == 0)
        return rawText;
    switch (m_padding) {
    case PKCS7:
        return rawText + QByteArray(pad, static_cast<char>(pad));
    case ISO:
        return rawText + char(0x80) + QByteArray(pad - 1, '\0');
    case ZERO:
    default:
        return rawText + QByteArray(pad, '\0');
    }
}

bool QAESEncryption::acceptable(const QByteArray &key, const QByteArray &iv) const
{
    if (key.size() != m_keyLen || m_mode < ECB || m_mode > OFB)
        return false;
    return m_mode == ECB || iv.size() == m_blocklen;
}

QByteArray QAESEncryption::encode(const QByteArray &rawText, const QByteArray &key,
                                  const QByteArray &iv) const
{
    if (!acceptable(key, iv))
        return {};
    const QByteArray schedule = expandKey(key);
    const auto *roundKeys = reinterpret_cast<const Byte *>(schedule.constData());
    QByteArray out = padded(rawText);
    auto *data = reinterpret_cast<Byte *>(out.data());
    Block chain{};
    if (m_mode != ECB)
        std::memcpy(chain, iv.constData(), m_blocklen);

    for (int offset = 0; offset < out.size(); offset += m_blocklen) {
        Byte *block = data + offset;
        switch (m_mode) {
        case ECB:
            encryptBlock(roundKeys, block);
            break;
        case CBC:
            xorBlock(block, chain);
            encryptBlock(roundKeys, block);
            std::memcpy(chain, block, m_blocklen);
            break;
        case CFB:
            // chain holds the previous cipher block; its encryption is the keystream.
            encryptBlock(roundKeys, chain);
            xorBlock(block, chain);
            std::memcpy(chain, block, m_blocklen);
            break;
        case OFB:
            // chain holds the previous keystream block.
            encryptBlock(roundKeys, chain);
            xorBlock(block, chain);
            break;
        }
    }
    return out;
}

QByteArray QAESEncryption::decode(const QByteArray &rawText, const QByteArray &key,
                                  const QByteArray &iv) const
{
    // Cipher text always comes in whole blocks; anything else is damaged.
    if (!acceptable(key, iv) || rawText.size() % m_blocklen != 0)
        return {};
    const QByteArray schedule = expandKey(key);
    const auto *roundKeys = reinterpret_cast<const Byte *>(schedule.constData());
    QByteArray out = rawText;
    auto *data = reinterpret_cast<Byte *>(out.data());
    Block chain{};
    if (m_mode != ECB)
        std::memcpy(chain, iv.constData(), m_blocklen);

    for (int offset = 0; offset < out.size(); offset += m_blocklen) {
        Byte *block = data + offset;
        Block cipher;
        std::memcpy(cipher, block, m_blocklen);
        switch (m_mode) {
        case ECB:
            decryptBlock(roundKeys, block);
            break;
        case CBC:
            decryptBlock(roundKeys, block);
            xorBlock(block, chain);
            std::memcpy(chain, cipher, m_blocklen);
            break;
        case CFB:
            encryptBlock(roundKeys, chain);
            xorBlock(block, chain);
            std::memcpy(chain, cipher, m_blocklen);
            break;
        case OFB:
            encryptBlock(roundKeys, chain);
            xorBlock(block, chain);
            break;
        }
    }
    return out;
}
