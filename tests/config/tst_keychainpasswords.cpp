#include "config/configfile.h"
#include "config/rememberedpasswords.h"
#include "platform/passwordvault.h"
#include "privatebus.h"
#include "shell/configdata.h"
#include "testenvironment.h"
#include "testkeyring.h"
#include "vaultwait.h"

#include <QSettings>
#include <QtTest>

#include <memory>

using Outcome = PasswordVault::Outcome;

// Remembered passwords against a real keyring on a private session bus.
class TestKeychainPasswords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void vaultRoundTrip();
    void savedPasswordLeavesTheFile();
    void passwordsPerServerAndAccount();
    void migrationMovesOldEntries();
    void migrationKeepsANewerFileEntry();
    void formFacadeUsesTheKeychain();

private:
    QString load(RememberedPasswords &passwords, const QString &account);
    QString rawFileText() const;
    QString digest() const { return ConfigFile::instance()->severIpMd5(); }

    TestKeyring m_keyring;
    QTemporaryDir m_idle;
    std::unique_ptr<QTemporaryDir> m_base;
    PasswordVault *m_vault = nullptr;
    std::unique_ptr<RememberedPasswords> m_passwords;
};

void TestKeychainPasswords::initTestCase()
{
    QVERIFY2(m_keyring.start(), "the test keyring did not come up");
}

void TestKeychainPasswords::init()
{
    m_base = std::make_unique<QTemporaryDir>();
    QVERIFY(m_base->isValid());
    ConfigFile::resetForTests(m_base->path());
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"),
                                          QStringLiteral("127.0.0.1:8080"));
    m_vault = new PasswordVault(QStringLiteral("tarnex-test"));
    m_passwords = std::make_unique<RememberedPasswords>(m_vault);
    m_vault->setParent(m_passwords.get());
}

void TestKeychainPasswords::cleanup()
{
    m_passwords.reset();
    QVERIFY(m_idle.isValid());
    ConfigFile::resetForTests(m_idle.path());
    m_base.reset();
}

QString TestKeychainPasswords::load(RememberedPasswords &passwords, const QString &account)
{
    QString loaded = QStringLiteral("<no answer>");
    bool answered = false;
    passwords.load(account, this, [&](const QString &password) {
        loaded = password;
        answered = true;
    });
    if (!QTest::qWaitFor([&] { return answered; }, 60000))
        return QStringLiteral("<no answer>");
    return loaded;
}

QString TestKeychainPasswords::rawFileText() const
{
    QFile file(ConfigFile::instance()->settingsFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void TestKeychainPasswords::vaultRoundTrip()
{
    PasswordVault vault(QStringLiteral("tarnex-test"));
    const QString key = QStringLiteral("round/trip");
    auto write = [&](const QString &password) {
        return vaultAnswer([&](auto done) { vault.write(key, password, done); });
    };
    auto read = [&] { return vaultAnswer([&](auto done) { vault.read(key, done); }); };

    QCOMPARE(write(QStringLiteral("first")).outcome, Outcome::Done);
    PasswordVault::Result result = read();
    QCOMPARE(result.outcome, Outcome::Done);
    QCOMPARE(result.password, QStringLiteral("first"));

    QCOMPARE(write(QStringLiteral("第二 p=a&ss+/")).outcome, Outcome::Done);
    QCOMPARE(read().password, QStringLiteral("第二 p=a&ss+/"));

    QCOMPARE(vaultAnswer([&](auto done) { vault.remove(key, done); }).outcome, Outcome::Done);
    result = read();
    QCOMPARE(result.outcome, Outcome::NotFound);
    QVERIFY(result.password.isEmpty());
}

void TestKeychainPasswords::savedPasswordLeavesTheFile()
{
    QSignalSpy settled(m_passwords.get(), &RememberedPasswords::settled);
    QSignalSpy unavailable(m_passwords.get(), &RememberedPasswords::keychainUnavailable);
    m_passwords->save(QStringLiteral("alice"), QStringLiteral("s3cret"));
    // Until the keychain confirms, the file keeps it: a failed write must not lose it.
    QCOMPARE(ConfigFile::instance()->getAccountPassword(QStringLiteral("alice")),
             QStringLiteral("s3cret"));
    QVERIFY(settled.wait(30000));
    QCOMPARE(settled.first().at(1).toBool(), true);
    QVERIFY(m_passwords->usesKeychain());
    QCOMPARE(unavailable.count(), 0);

    QCOMPARE(ConfigFile::instance()->getAccountPassword(QStringLiteral("alice")), QString());
    QCOMPARE(ConfigFile::instance()->getAllAccount(), QStringList{QStringLiteral("alice")});
    QVERIFY(!rawFileText().contains(QString::fromLatin1(QByteArray("s3cret").toBase64())));
    QCOMPARE(load(*m_passwords, QStringLiteral("alice")), QStringLiteral("s3cret"));

    // Overwrite, then forget.
    m_passwords->save(QStringLiteral("alice"), QStringLiteral("second"));
    QVERIFY(settled.wait(30000));
    QCOMPARE(load(*m_passwords, QStringLiteral("alice")), QStringLiteral("second"));
    m_passwords->save(QStringLiteral("alice"), QString());
    QVERIFY(settled.wait(30000));
    QCOMPARE(load(*m_passwords, QStringLiteral("alice")), QString());
    const QString key = RememberedPasswords::keyFor(digest(), QStringLiteral("alice"));
    QCOMPARE(vaultAnswer([&](auto done) { m_vault->read(key, done); }).outcome, Outcome::NotFound);
}

void TestKeychainPasswords::passwordsPerServerAndAccount()
{
    QSignalSpy settled(m_passwords.get(), &RememberedPasswords::settled);
    m_passwords->save(QStringLiteral("alice"), QStringLiteral("on-first"));
    m_passwords->save(QStringLiteral("bob"), QStringLiteral("bobs"));
    QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 2, 30000);

    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"),
                                          QStringLiteral("https://oa.example.com"));
    QCOMPARE(load(*m_passwords, QStringLiteral("alice")), QString());
    m_passwords->save(QStringLiteral("alice"), QStringLiteral("on-second"));
    QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 3, 30000);
    QCOMPARE(load(*m_passwords, QStringLiteral("alice")), QStringLiteral("on-second"));

    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"),
                                          QStringLiteral("127.0.0.1:8080"));
    QCOMPARE(load(*m_passwords, QStringLiteral("alice")), QStringLiteral("on-first"));
    QCOMPARE(load(*m_passwords, QStringLiteral("bob")), QStringLiteral("bobs"));

    // Removing the saved account takes its password along.
    m_passwords->removeAccount(QStringLiteral("bob"));
    QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 4, 30000);
    QCOMPARE(load(*m_passwords, QStringLiteral("bob")), QString());
    QCOMPARE(ConfigFile::instance()->getAllAccount(), QStringList{QStringLiteral("alice")});
}

void TestKeychainPasswords::migrationMovesOldEntries()
{
    // Saved the old way: Base64 in the file, for a listed account and as the current password.
    ConfigFile *store = ConfigFile::instance();
    store->setAccountPassword(QStringLiteral("bob"), QStringLiteral("old-bob"));
    store->setMainConfig(QStringLiteral("currentAccount"), QStringLiteral("carol"));
    store->setMainConfig(QStringLiteral("currentPassword"), QStringLiteral("old-carol"));
    QVERIFY(rawFileText().contains(QString::fromLatin1(QByteArray("old-bob").toBase64())));

    QSignalSpy settled(m_passwords.get(), &RememberedPasswords::settled);
    m_passwords->migrate();
    QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 2, 30000);
    for (const QList<QVariant> &answer : qAsConst(settled))
        QVERIFY(answer.at(1).toBool());

    QCOMPARE(store->getAccountPassword(QStringLiteral("bob")), QString());
    QCOMPARE(store->getMainConfig(QStringLiteral("currentPassword")), QString());
    const QString file = rawFileText();
    QVERIFY(!file.contains(QString::fromLatin1(QByteArray("old-bob").toBase64())));
    QVERIFY(!file.contains(QString::fromLatin1(QByteArray("old-carol").toBase64())));
    QCOMPARE(store->getAllAccount(), QStringList{QStringLiteral("bob")});
    QCOMPARE(load(*m_passwords, QStringLiteral("bob")), QStringLiteral("old-bob"));
    QCOMPARE(load(*m_passwords, QStringLiteral("carol")), QStringLiteral("old-carol"));

    // A second start finds nothing left to move.
    m_passwords->migrate();
    QCOMPARE(settled.count(), 2);
}

void TestKeychainPasswords::migrationKeepsANewerFileEntry()
{
    ConfigFile *store = ConfigFile::instance();
    store->setAccountPassword(QStringLiteral("dave"), QStringLiteral("older"));
    QSignalSpy settled(m_passwords.get(), &RememberedPasswords::settled);
    m_passwords->migrate();
    // Changed while the move was under way: the confirmation of the older one must not wipe it.
    store->setAccountPassword(QStringLiteral("dave"), QStringLiteral("newer"));
    QVERIFY(settled.wait(30000));
    QCOMPARE(store->getAccountPassword(QStringLiteral("dave")), QStringLiteral("newer"));

    // Reading it uses the file's copy and moves it on.
    QCOMPARE(load(*m_passwords, QStringLiteral("dave")), QStringLiteral("newer"));
    QVERIFY(settled.wait(30000));
    QCOMPARE(store->getAccountPassword(QStringLiteral("dave")), QString());
    QCOMPARE(load(*m_passwords, QStringLiteral("dave")), QStringLiteral("newer"));
}

void TestKeychainPasswords::formFacadeUsesTheKeychain()
{
    ConfigData data;
    QSignalSpy settled(RememberedPasswords::instance(), &RememberedPasswords::settled);
    QSignalSpy arrived(&data, &ConfigData::sigAccountPassword);
    QVERIFY(RememberedPasswords::instance()->usesKeychain());

    data.setCurrentMainFile(QStringLiteral("zhangwei"), QStringLiteral("currentAccount"));
    data.setCurrentMainFile(QStringLiteral("p&ss=中文"), QStringLiteral("currentPassword"));
    QVERIFY(settled.wait(30000));
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("currentPassword")), QString());
    // Not a saved account until a sign-in succeeds.
    QCOMPARE(data.getAllAccount(), QStringList());

    data.requestAccountPassword(QStringLiteral("zhangwei"));
    // Never answered at once: the documents connect after they ask.
    QCOMPARE(arrived.count(), 0);
    QVERIFY(arrived.wait(30000));
    QCOMPARE(arrived.first().at(0).toString(), QStringLiteral("zhangwei"));
    QCOMPARE(arrived.first().at(1).toString(), QStringLiteral("p&ss=中文"));
    QCOMPARE(data.takePasswordStoreNotice(), QString());
}

TARNEX_PRIVATE_BUS_TEST_MAIN(TestKeychainPasswords)

#include "tst_keychainpasswords.moc"
