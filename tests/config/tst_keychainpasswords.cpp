#include "config/configfile.h"
#include "config/rememberedpasswords.h"
#include "platform/passwordvault.h"
#include "privatebus.h"
#include "shell/configdata.h"
#include "testenvironment.h"
#include "testkeyring.h"
#include "vaultwait.h"

#include <QDirIterator>
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
    void savedPasswordNeverInTheFile();
    void passwordsPerServerAndAccount();
    void migrationMovesOldEntries();
    void migrationKeepsANewerFileEntry();
    void formFacadeUsesTheKeychain();
    // Last: it locks, then ends the keychain.
    void noPasswordReadableInAnyFile();

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

    // Held calls (the start holds them behind the first frame) wait, then run in their order.
    vault.hold();
    int answers = 0;
    PasswordVault::Result heldWrite, heldRead;
    vault.write(key, QStringLiteral("held"), [&](const PasswordVault::Result &answer) {
        heldWrite = answer;
        ++answers;
    });
    vault.read(key, [&](const PasswordVault::Result &answer) {
        heldRead = answer;
        ++answers;
    });
    QCoreApplication::processEvents();
    QCOMPARE(answers, 0);
    vault.release();
    QTRY_COMPARE_WITH_TIMEOUT(answers, 2, 60000);
    QCOMPARE(heldWrite.outcome, Outcome::Done);
    QCOMPARE(heldRead.password, QStringLiteral("held"));
    {
        // Dropped while holding a call: it never answers, and nothing of it is left.
        PasswordVault dropped(QStringLiteral("tarnex-test"));
        dropped.hold();
        dropped.read(key, [&](const PasswordVault::Result &) { ++answers; });
    }
    QCoreApplication::processEvents();
    QCOMPARE(answers, 2);

    QCOMPARE(vaultAnswer([&](auto done) { vault.remove(key, done); }).outcome, Outcome::Done);
    result = read();
    QCOMPARE(result.outcome, Outcome::NotFound);
    QVERIFY(result.password.isEmpty());
}

void TestKeychainPasswords::savedPasswordNeverInTheFile()
{
    QSignalSpy settled(m_passwords.get(), &RememberedPasswords::settled);
    QSignalSpy unavailable(m_passwords.get(), &RememberedPasswords::keychainUnavailable);
    m_passwords->save(QStringLiteral("alice"), QStringLiteral("s3cret"));
    // Not even until the keychain confirms does the file hold it; this run still knows it.
    QCOMPARE(ConfigFile::instance()->getAccountPassword(QStringLiteral("alice")), QString());
    QCOMPARE(ConfigFile::instance()->getAllAccount(), QStringList{QStringLiteral("alice")});
    QCOMPARE(load(*m_passwords, QStringLiteral("alice")), QStringLiteral("s3cret"));
    QVERIFY(settled.count() == 1 || settled.wait(30000));
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
    // Saved by an earlier version: Base64 in the file, for a listed account and as the
    // current password. The next start seals them in place before anything reads them.
    const QString file = ConfigFile::instance()->settingsFilePath();
    const QString group = ConfigFile::serverDigest(
        ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp")));
    ConfigFile::resetForTests(m_idle.path());
    {
        QSettings old(file, QSettings::IniFormat);
        const auto base64 = [](const char *text) {
            return QString::fromLatin1(QByteArray(text).toBase64());
        };
        old.setValue(QStringLiteral("accounts%1/bob").arg(group), base64("old-bob"));
        old.setValue(QStringLiteral("status%1/currentAccount").arg(group), "carol");
        old.setValue(QStringLiteral("status%1/currentPassword").arg(group), base64("old-carol"));
        old.setValue(QStringLiteral("mainconfig/currentPassword"), base64("old-carol"));
    }
    ConfigFile *store = ConfigFile::resetForTests(m_base->path());
    QCOMPARE(store->getAccountPassword(QStringLiteral("bob")), QStringLiteral("old-bob"));
    QCOMPARE(store->getMainConfig(QStringLiteral("currentPassword")), QStringLiteral("old-carol"));
    for (const char *old : {"old-bob", "old-carol"})
        QVERIFY(!rawFileText().contains(QString::fromLatin1(QByteArray(old).toBase64())));

    QSignalSpy settled(m_passwords.get(), &RememberedPasswords::settled);
    m_passwords->migrate();
    QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 2, 30000);
    for (const QList<QVariant> &answer : qAsConst(settled))
        QVERIFY(answer.at(1).toBool());

    QCOMPARE(store->getAccountPassword(QStringLiteral("bob")), QString());
    QCOMPARE(store->getMainConfig(QStringLiteral("currentPassword")), QString());
    QVERIFY(!rawFileText().contains(QStringLiteral("sealed")));
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

namespace {

// Every form in which a careless store would leave a password readable: plain, hex, UTF-16
// and Base64 (of whole groups at each alignment, as inside a longer encoded text).
QList<QByteArray> readableForms(const QString &password)
{
    const QByteArray utf8 = password.toUtf8();
    QByteArray utf16le;
    QByteArray utf16be;
    for (const QChar c : password) {
        utf16le.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
        utf16be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xff));
    }
    QList<QByteArray> forms{utf8,    utf8.toHex(), utf8.toHex().toUpper(),
                            utf16le, utf16be,      QUrl::toPercentEncoding(password)};
    for (const QByteArray &bytes : {utf8, utf16le}) {
        for (int shift = 0; shift < 3; ++shift) {
            const QByteArray part = bytes.mid(shift);
            const QByteArray whole = part.left(part.size() / 3 * 3);
            forms << whole.toBase64()
                  << whole.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
        }
    }
    return forms;
}

// The files below root that hold any readable form of one of the passwords.
QStringList filesRevealing(const QString &root, const QStringList &passwords)
{
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly)) {
            found << file.fileName() + QStringLiteral(" (unreadable)");
            continue;
        }
        const QByteArray data = file.readAll();
        for (const QString &password : passwords) {
            for (const QByteArray &form : readableForms(password)) {
                if (data.contains(form))
                    found << file.fileName() + QStringLiteral(": ") + password;
            }
        }
    }
    found.removeDuplicates();
    return found;
}

} // namespace

void TestKeychainPasswords::noPasswordReadableInAnyFile()
{
    ConfigData data;
    RememberedPasswords *passwords = RememberedPasswords::instance();
    QVERIFY(passwords->usesKeychain());
    QSignalSpy settled(passwords, &RememberedPasswords::settled);
    QStringList saved;
    // What the login form does for a sign-in with "remember password" on.
    const auto signIn = [&](const QString &account, const QString &password, bool autoLogin) {
        saved << password;
        data.setCurrentMainFile(account, QStringLiteral("currentAccount"));
        data.setCurrentMainFile(QStringLiteral("true"), QStringLiteral("rememberPassword"));
        data.setCurrentMainFile(autoLogin ? QStringLiteral("true") : QStringLiteral("false"),
                                QStringLiteral("autoLogin"));
        data.setCurrentMainFile(password, QStringLiteral("currentPassword"));
        data.setAccountPassword(account, password);
    };
    const auto remembered = [&](const QString &account) {
        QSignalSpy arrived(&data, &ConfigData::sigAccountPassword);
        data.requestAccountPassword(account);
        return arrived.wait(30000) ? arrived.first().at(1).toString() : QStringLiteral("<none>");
    };
    PasswordVault reader(QStringLiteral("tarnex"));
    const auto inKeychain = [&](const QString &account) {
        const QString key = RememberedPasswords::keyFor(digest(), account);
        return vaultAnswer([&](auto done) { reader.read(key, done); }).password;
    };
    const QString root = m_base->path();

    // Remember, then auto-login with a changed password, then a second account and back.
    signIn(QStringLiteral("lin"), QStringLiteral("Lin&pw=秘密1"), false);
    QTRY_COMPARE_WITH_TIMEOUT(inKeychain(QStringLiteral("lin")), QStringLiteral("Lin&pw=秘密1"),
                              30000);
    QCOMPARE(filesRevealing(root, saved), QStringList());
    signIn(QStringLiteral("lin"), QStringLiteral("Lin+new#秘密2"), true);
    QTRY_COMPARE_WITH_TIMEOUT(inKeychain(QStringLiteral("lin")), QStringLiteral("Lin+new#秘密2"),
                              30000);
    QCOMPARE(filesRevealing(root, saved), QStringList());
    signIn(QStringLiteral("zoe"), QStringLiteral("Zoe/pw%秘密3"), false);
    QTRY_COMPARE_WITH_TIMEOUT(inKeychain(QStringLiteral("zoe")), QStringLiteral("Zoe/pw%秘密3"),
                              30000);
    QCOMPARE(remembered(QStringLiteral("lin")), QStringLiteral("Lin+new#秘密2"));
    QCOMPARE(filesRevealing(root, saved), QStringList());

    // A locked keychain refuses: this run still knows the password, no file does.
    QVERIFY(m_keyring.lock());
    settled.clear();
    signIn(QStringLiteral("ma"), QStringLiteral("Ma-locked!秘密4"), false);
    QVERIFY(settled.count() > 0 || settled.wait(PasswordVault::defaultTimeLimit + 5000));
    QCOMPARE(remembered(QStringLiteral("ma")), QStringLiteral("Ma-locked!秘密4"));
    QCOMPARE(filesRevealing(root, saved), QStringList());

    // No keychain at all: the file keeps it, sealed.
    m_keyring.stop();
    signIn(QStringLiteral("qi"), QStringLiteral("Qi~nokeys秘密5"), false);
    QTRY_VERIFY_WITH_TIMEOUT(!passwords->usesKeychain(), PasswordVault::defaultTimeLimit + 5000);
    QTRY_COMPARE(ConfigFile::instance()->getAccountPassword(QStringLiteral("qi")),
                 QStringLiteral("Qi~nokeys秘密5"));
    QCOMPARE(remembered(QStringLiteral("qi")), QStringLiteral("Qi~nokeys秘密5"));
    QCOMPARE(filesRevealing(root, saved), QStringList());

    // The settings file copied without its key opens nothing.
    QTemporaryDir elsewhere;
    const QString copy = elsewhere.filePath(QStringLiteral("morvane/tarnex/configfile"));
    QVERIFY(QDir().mkpath(copy));
    QVERIFY(QFile::copy(ConfigFile::instance()->settingsFilePath(), copy + "/config.ini"));
    ConfigFile *copied = ConfigFile::resetForTests(elsewhere.path());
    QCOMPARE(copied->getAllAccount().contains(QStringLiteral("qi")), true);
    QCOMPARE(copied->getAccountPassword(QStringLiteral("qi")), QString());
    QCOMPARE(copied->getMainConfig(QStringLiteral("currentPassword")), QString());
}

TARNEX_PRIVATE_BUS_TEST_MAIN(TestKeychainPasswords)

#include "tst_keychainpasswords.moc"
