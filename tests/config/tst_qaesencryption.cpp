#include "config/aesiteminfor.h"
#include "config/configfile.h"
#include "config/qaesencryption.h"
#include "testenvironment.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Four-block plain text shared by the NIST mode examples.
const QByteArray kModePlain = hex("6bc1bee22e409f96e93d7e117393172a"
                                  "ae2d8a571e03ac9c9eb76fac45af8e51"
                                  "30c81c46a35ce411e5fbc1191a0a52ef"
                                  "f69f2445df4f9b17ad2b417be66c3710");
const QByteArray kModeIv = hex("000102030405060708090a0b0c0d0e0f");
const QByteArray kKey128 = hex("2b7e151628aed2a6abf7158809cf4f3c");

} // namespace

class TestQAESEncryption : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ConfigFile::instance()->setClientUrlFlag(false); }

    void knownAnswers_data();
    void knownAnswers();
    void keySchedule();
    void padding_data();
    void padding();
    void roundTrip();
    void rejectsBadKeyOrIv_data();
    void rejectsBadKeyOrIv();
    void raggedCipherText_data();
    void raggedCipherText();

    void storedSecretLengths();
    void storedSecretRoundTrip_data();
    void storedSecretRoundTrip();
    void storedSecretClientUrlFlag();
    void storedSecretEdgeCases();
};

void TestQAESEncryption::knownAnswers_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("iv");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");

    // Single-block examples of the AES standard's appendix C.
    const QByteArray blockPlain = hex("00112233445566778899aabbccddeeff");
    QTest::newRow("fips-128") << int(QAESEncryption::AES_128) << int(QAESEncryption::ECB)
                              << hex("000102030405060708090a0b0c0d0e0f") << QByteArray()
                              << blockPlain << hex("69c4e0d86a7b0430d8cdb78070b4c55a");
    QTest::newRow("fips-192") << int(QAESEncryption::AES_192) << int(QAESEncryption::ECB)
                              << hex("000102030405060708090a0b0c0d0e0f1011121314151617")
                              << QByteArray() << blockPlain
                              << hex("dda97ca4864cdfe06eaf70a0ec0d7191");
    QTest::newRow("fips-256")
        << int(QAESEncryption::AES_256) << int(QAESEncryption::ECB)
        << hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f") << QByteArray()
        << blockPlain << hex("8ea2b7ca516745bfeafc49904b496089");

    // Mode examples of NIST SP 800-38A.
    QTest::newRow("ecb-128") << int(QAESEncryption::AES_128) << int(QAESEncryption::ECB) << kKey128
                             << QByteArray() << kModePlain
                             << hex("3ad77bb40d7a3660a89ecaf32466ef97"
                                    "f5d3d58503b9699de785895a96fdbaaf"
                                    "43b1cd7f598ece23881b00e3ed030688"
                                    "7b0c785e27e8ad3f8223207104725dd4");
    QTest::newRow("cbc-128") << int(QAESEncryption::AES_128) << int(QAESEncryption::CBC) << kKey128
                             << kModeIv << kModePlain
                             << hex("7649abac8119b246cee98e9b12e9197d"
                                    "5086cb9b507219ee95db113a917678b2"
                                    "73bed6b8e3c1743b7116e69e22229516"
                                    "3ff1caa1681fac09120eca307586e1a7");
    QTest::newRow("cfb128-128") << int(QAESEncryption::AES_128) << int(QAESEncryption::CFB)
                                << kKey128 << kModeIv << kModePlain
                                << hex("3b3fd92eb72dad20333449f8e83cfb4a"
                                       "c8a64537a0b3a93fcde3cdad9f1ce58b"
                                       "26751f67a3cbb140b1808cf187a4f4df"
                                       "c04b05357c5d1c0eeac4c66f9ff7f2e6");
    QTest::newRow("ofb-128") << int(QAESEncryption::AES_128) << int(QAESEncryption::OFB) << kKey128
                             << kModeIv << kModePlain
                             << hex("3b3fd92eb72dad20333449f8e83cfb4a"
                                    "7789508d16918f03f53c52dac54ed825"
                                    "9740051e9c5fecf64344f7a82260edcc"
                                    "304c6528f659c77866a510d9c1d6ae5e");
    QTest::newRow("cbc-256")
        << int(QAESEncryption::AES_256) << int(QAESEncryption::CBC)
        << hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4") << kModeIv
        << kModePlain
        << hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6"
               "9cfc4e967edb808d679f777bc6702c7d"
               "39f23369a9d9bacfa530e26304231461"
               "b2eb05e2c39be9fcda6c19078c6a9d1b");
}

void TestQAESEncryption::knownAnswers()
{
    QFETCH(int, level);
    QFETCH(int, mode);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, iv);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);
    const auto aes = QAESEncryption::Aes(level);
    const auto m = QAESEncryption::Mode(mode);

    QCOMPARE(QAESEncryption::crypt(aes, m, plain, key, iv).toHex(), cipher.toHex());
    QCOMPARE(QAESEncryption::decrypt(aes, m, cipher, key, iv).toHex(), plain.toHex());
}

void TestQAESEncryption::keySchedule()
{
    // Last round key of the 128-bit expansion example (w40..w43).
    const QAESEncryption aes(QAESEncryption::AES_128, QAESEncryption::ECB);
    const QByteArray schedule = aes.expandKey(kKey128);
    QCOMPARE(schedule.size(), 176);
    QCOMPARE(schedule.left(16), kKey128);
    QCOMPARE(schedule.right(16).toHex(), QByteArray("d014f9a8c9ee2589e13f0cc8b6630ca6"));

    QVERIFY(aes.expandKey(QByteArray(15, 'k')).isEmpty());
    // An unknown level falls back to 128-bit keys.
    const QAESEncryption unknown(QAESEncryption::Aes(5), QAESEncryption::ECB);
    QCOMPARE(unknown.expandKey(kKey128), schedule);
}

void TestQAESEncryption::padding_data()
{
    QTest::addColumn<int>("padding");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("padded");

    const QByteArray five("abcde");
    const QByteArray fifteen(15, 'x');
    const QByteArray block(16, 'y');
    QTest::newRow("zero-5") << int(QAESEncryption::ZERO) << five << five + QByteArray(11, '\0');
    QTest::newRow("pkcs7-5") << int(QAESEncryption::PKCS7) << five << five + QByteArray(11, 11);
    QTest::newRow("iso-5") << int(QAESEncryption::ISO) << five
                           << five + char(0x80) + QByteArray(10, '\0');
    QTest::newRow("pkcs7-15") << int(QAESEncryption::PKCS7) << fifteen << fifteen + char(1);
    QTest::newRow("iso-15") << int(QAESEncryption::ISO) << fifteen << fifteen + char(0x80);
    QTest::newRow("zero-17") << int(QAESEncryption::ZERO) << block + 'z'
                             << block + 'z' + QByteArray(15, '\0');
    // Whole blocks get nothing appended, whatever the padding kind.
    QTest::newRow("pkcs7-16") << int(QAESEncryption::PKCS7) << block << block;
    QTest::newRow("iso-16") << int(QAESEncryption::ISO) << block << block;
    QTest::newRow("pkcs7-empty") << int(QAESEncryption::PKCS7) << QByteArray() << QByteArray();
}

void TestQAESEncryption::padding()
{
    QFETCH(int, padding);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, padded);
    const auto pad = QAESEncryption::Padding(padding);

    const QByteArray cipher = QAESEncryption::crypt(QAESEncryption::AES_128, QAESEncryption::CBC,
                                                    plain, kKey128, kModeIv, pad);
    QCOMPARE(cipher.size(), padded.size());
    // Decoding keeps the padding, so it shows what was appended.
    QCOMPARE(QAESEncryption::decrypt(QAESEncryption::AES_128, QAESEncryption::CBC, cipher, kKey128,
                                     kModeIv, pad),
             padded);
}

void TestQAESEncryption::roundTrip()
{
    QRandomGenerator random(20240611);
    for (int level = QAESEncryption::AES_128; level <= QAESEncryption::AES_256; ++level) {
        for (int mode = QAESEncryption::ECB; mode <= QAESEncryption::OFB; ++mode) {
            const QAESEncryption aes{QAESEncryption::Aes(level), QAESEncryption::Mode(mode)};
            QByteArray key(aes.keyLength(), '\0');
            QByteArray iv(16, '\0');
            QByteArray plain(64, '\0');
            for (char &c : key)
                c = char(random.bounded(256));
            for (char &c : iv)
                c = char(random.bounded(256));
            for (char &c : plain)
                c = char(random.bounded(256));
            const QByteArray cipher = aes.encode(plain, key, iv);
            QCOMPARE(cipher.size(), plain.size());
            QVERIFY2(cipher != plain,
                     qPrintable(QStringLiteral("level %1 mode %2").arg(level).arg(mode)));
            QCOMPARE(aes.decode(cipher, key, iv), plain);
        }
    }
}

void TestQAESEncryption::rejectsBadKeyOrIv_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("iv");

    for (int mode :
         {int(QAESEncryption::CBC), int(QAESEncryption::CFB), int(QAESEncryption::OFB)}) {
        const QByteArray name = QByteArray::number(mode);
        QTest::newRow(name + "-no-iv") << mode << kKey128 << QByteArray();
        QTest::newRow(name + "-short-iv") << mode << kKey128 << QByteArray(15, 'i');
        QTest::newRow(name + "-long-iv") << mode << kKey128 << QByteArray(17, 'i');
    }
    QTest::newRow("ecb-short-key") << int(QAESEncryption::ECB) << kKey128.left(15) << QByteArray();
    QTest::newRow("cbc-long-key") << int(QAESEncryption::CBC) << kKey128 + 'k' << kModeIv;
    QTest::newRow("unknown-mode") << 7 << kKey128 << kModeIv;
}

void TestQAESEncryption::rejectsBadKeyOrIv()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, iv);
    const QAESEncryption aes(QAESEncryption::AES_128, QAESEncryption::Mode(mode));
    QVERIFY(aes.encode(kModePlain, key, iv).isEmpty());
    QVERIFY(aes.decode(kModePlain, key, iv).isEmpty());
}

void TestQAESEncryption::raggedCipherText_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("length");
    for (int mode = QAESEncryption::ECB; mode <= QAESEncryption::OFB; ++mode)
        for (int length : {1, 15, 17, 31})
            QTest::addRow("mode%d-%d", mode, length) << mode << length;
}

void TestQAESEncryption::raggedCipherText()
{
    QFETCH(int, mode);
    QFETCH(int, length);
    // A copy of exactly `length` bytes, so a read past it shows under the address sanitizer.
    const QByteArray cipher(kModePlain.constData(), length);
    QVERIFY(QAESEncryption::decrypt(QAESEncryption::AES_128, QAESEncryption::Mode(mode), cipher,
                                    kKey128, kModeIv)
                .isEmpty());
}

void TestQAESEncryption::storedSecretLengths()
{
    AesIteminfor item;
    const QString sixteen = QStringLiteral("0123456789abcdef");
    QCOMPARE(item.cryptData(sixteen).size(), 24);
    QCOMPARE(QByteArray::fromBase64(item.cryptData(sixteen).toLatin1()).size(), 16);
    QCOMPARE(QByteArray::fromBase64(item.cryptData(sixteen + 'g').toLatin1()).size(), 32);
    // Fixed key and IV: the same text always gives the same value.
    QCOMPARE(item.cryptData(sixteen), AesIteminfor().cryptData(sixteen));
}

void TestQAESEncryption::storedSecretRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QStringLiteral("p@ss=word&1+2%");
    QTest::newRow("block") << QStringLiteral("exactly16bytes!!");
    QTest::newRow("chinese") << QStringLiteral("密码测试 mixed");
    QTest::newRow("long") << QString(100, QLatin1Char('L'));
}

void TestQAESEncryption::storedSecretRoundTrip()
{
    QFETCH(QString, text);
    AesIteminfor item;
    const QString stored = item.cryptData(text);
    QVERIFY(stored != text);
    QCOMPARE(item.decryptData(stored), text);
}

void TestQAESEncryption::storedSecretClientUrlFlag()
{
    AesIteminfor item;
    const QString text = QStringLiteral("secret");
    const QString plainWrap = item.cryptData(text);

    ConfigFile::instance()->setClientUrlFlag(true);
    const QString doubleWrap = item.cryptData(text);
    QCOMPARE(QString::fromLatin1(QByteArray::fromBase64(doubleWrap.toLatin1())), plainWrap);
    QCOMPARE(item.decryptData(doubleWrap), text);

    ConfigFile::instance()->setClientUrlFlag(false);
    QVERIFY(item.decryptData(doubleWrap) != text);
    QCOMPARE(item.decryptData(plainWrap), text);
}

void TestQAESEncryption::storedSecretEdgeCases()
{
    AesIteminfor item;
    QCOMPARE(item.cryptData(QString()), QString());
    QCOMPARE(item.decryptData(QString()), QString());
    // Zero padding cannot be told from a zero in the text.
    QCOMPARE(
        item.decryptData(item.cryptData(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"))),
        QStringLiteral("ab"));
    // A damaged value (three bytes after Base64) gives nothing rather than garbage.
    QCOMPARE(item.decryptData(QStringLiteral("QUJD")), QString());
    QCOMPARE(item.decryptData(QStringLiteral("not base64 at all!")), QString());
}

TARNEX_TEST_MAIN(TestQAESEncryption)
#include "tst_qaesencryption.moc"
