#include "config/configfile.h"
#include "config/rememberedpasswords.h"
#include "platform/passwordvault.h"
#include "privatebus.h"
#include "testenvironment.h"

#include <QApplication>
#include <QtTest>

#include <memory>

// Remembered passwords on a session bus where no keychain service runs: the client says so
// once, and the passwords stay where they were before there was a keychain.
class TestKeychainFallback : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void noServiceKeepsPasswordsInTheFile();

private:
    QTemporaryDir m_idle;
    std::unique_ptr<QTemporaryDir> m_base;
};

void TestKeychainFallback::init()
{
    m_base = std::make_unique<QTemporaryDir>();
    QVERIFY(m_base->isValid());
    ConfigFile::resetForTests(m_base->path());
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"),
                                          QStringLiteral("127.0.0.1:8080"));
}

void TestKeychainFallback::cleanup()
{
    QVERIFY(m_idle.isValid());
    ConfigFile::resetForTests(m_idle.path());
    m_base.reset();
}

void TestKeychainFallback::noServiceKeepsPasswordsInTheFile()
{
    auto *vault = new PasswordVault(QStringLiteral("tarnex-test"));
    RememberedPasswords passwords(vault);
    vault->setParent(&passwords);
    QSignalSpy unavailable(&passwords, &RememberedPasswords::keychainUnavailable);
    QSignalSpy settled(&passwords, &RememberedPasswords::settled);

    passwords.save(QStringLiteral("alice"), QStringLiteral("s3cret"));
    QVERIFY(settled.wait(PasswordVault::defaultTimeLimit + 5000));
    QCOMPARE(settled.first().at(1).toBool(), false);
    QCOMPARE(unavailable.count(), 1);
    QVERIFY(!passwords.usesKeychain());
    // Said once: the notice is taken once, and a second failure adds none.
    QVERIFY(passwords.takeFallbackNotice());
    QVERIFY(!passwords.takeFallbackNotice());

    // The password stayed in the file, reads back from it, and later saves go there directly.
    QCOMPARE(ConfigFile::instance()->getAccountPassword(QStringLiteral("alice")),
             QStringLiteral("s3cret"));
    QString loaded;
    bool answered = false;
    passwords.load(QStringLiteral("alice"), this, [&](const QString &password) {
        loaded = password;
        answered = true;
    });
    QTRY_VERIFY(answered);
    QCOMPARE(loaded, QStringLiteral("s3cret"));
    passwords.save(QStringLiteral("bob"), QStringLiteral("other"));
    QCOMPARE(ConfigFile::instance()->getAccountPassword(QStringLiteral("bob")),
             QStringLiteral("other"));
    QCOMPARE(unavailable.count(), 1);
    QVERIFY(!passwords.takeFallbackNotice());
}

TARNEX_PRIVATE_BUS_TEST_MAIN(TestKeychainFallback)

#include "tst_keychainfallback.moc"
