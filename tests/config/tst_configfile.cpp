#include "config/configfile.h"
#include "config/secretseal.h"
#include "testenvironment.h"

#include <QSettings>
#include <QtTest>

#include <memory>
#include <unistd.h>

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void digest_data();
    void digest();
    void mainConfigStorage();
    void accountsPerServer();
    void accountRecords();
    void loginServerLock();
    void serverAddressList();
    void perServerDefaults();
    void currentChatsPerUser();
    void persistsAcrossRestart();
    void scratchFoldersEmptied();
    void readableByTheUserOnly();
    void damagedSettingsFile_data();
    void damagedSettingsFile();

private:
    // The file as another program would read it.
    QVariant rawValue(const QString &key) const;
    QString settingsDir() const;

    QTemporaryDir m_idle;
    std::unique_ptr<QTemporaryDir> m_base;
    ConfigFile *m_store = nullptr;
};

void TestConfigFile::init()
{
    m_base = std::make_unique<QTemporaryDir>();
    QVERIFY(m_base->isValid());
    m_store = ConfigFile::resetForTests(m_base->path());
}

void TestConfigFile::cleanup()
{
    // Release the file before its folder goes.
    QVERIFY(m_idle.isValid());
    m_store = ConfigFile::resetForTests(m_idle.path());
    m_base.reset();
}

QString TestConfigFile::settingsDir() const
{
    return m_base->path() + QStringLiteral("/morvane/tarnex/configfile/");
}

QVariant TestConfigFile::rawValue(const QString &key) const
{
    QSettings raw(settingsDir() + QStringLiteral("config.ini"), QSettings::IniFormat);
    raw.setIniCodec("UTF-8");
    return raw.value(key);
}

void TestConfigFile::digest_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("digest");

    // Group names in existing files depend on these exact values.
    const QString plain = QStringLiteral("50e578790c67ccf57527ca8fd9a122f2");
    QTest::newRow("no scheme") << QStringLiteral("192.168.1.5:8080") << plain;
    QTest::newRow("http") << QStringLiteral("http://192.168.1.5:8080") << plain;
    QTest::newRow("https") << QStringLiteral("https://192.168.1.5:8080")
                           << QStringLiteral("c44a2267c291b0c2446ab8f81f0f5daa");
    QTest::newRow("empty") << QString() << QStringLiteral("dbd7790bcd23fde7607101ef6a633779");
}

void TestConfigFile::digest()
{
    QFETCH(QString, address);
    QFETCH(QString, digest);
    QCOMPARE(ConfigFile::serverDigest(address), digest);

    m_store->setMainConfig(QStringLiteral("currentServerIp"), address);
    const QString current = m_store->getMainConfig(QStringLiteral("currentServerIp"));
    QCOMPARE(current, ConfigFile::normaliseAddress(address));
    QVERIFY(current.startsWith(QLatin1String("http")));
    QCOMPARE(m_store->severIpMd5(), digest);
}

void TestConfigFile::mainConfigStorage()
{
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("http://oa.test:81"));
    m_store->setMainConfig(QStringLiteral("serverAddress"), QStringLiteral("http://other.test"));
    m_store->setMainConfig(QStringLiteral("systemBrowser"), QStringLiteral("true"));
    QCOMPARE(rawValue(QStringLiteral("mainconfig/currentServerIp")).toString(),
             QStringLiteral("oa.test:81"));
    QCOMPARE(rawValue(QStringLiteral("mainconfig/serverAddress")).toString(),
             QStringLiteral("other.test"));
    QCOMPARE(m_store->getMainConfig(QStringLiteral("systemBrowser")), QStringLiteral("true"));

    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("https://oa.test"));
    QCOMPARE(rawValue(QStringLiteral("mainconfig/currentServerIp")).toString(),
             QStringLiteral("https://oa.test"));

    // The four login keys go to the server's own group, the password sealed.
    m_store->setMainConfig(QStringLiteral("currentAccount"), QStringLiteral("alice"));
    m_store->setMainConfig(QStringLiteral("currentPassword"), QStringLiteral("密码&1"));
    const QString status =
        QStringLiteral("status") + ConfigFile::serverDigest(QStringLiteral("https://oa.test"));
    QCOMPARE(rawValue(status + QStringLiteral("/currentAccount")).toString(),
             QStringLiteral("alice"));
    QVERIFY(SecretSeal::isSealed(rawValue(status + QStringLiteral("/currentPassword")).toString()));
    QVERIFY(
        SecretSeal::isSealed(rawValue(QStringLiteral("mainconfig/currentPassword")).toString()));
    QCOMPARE(m_store->getMainConfig(QStringLiteral("currentPassword")), QStringLiteral("密码&1"));
}

void TestConfigFile::accountsPerServer()
{
    const auto useServer = [this](const QString &address) {
        m_store->setMainConfig(QStringLiteral("currentServerIp"), address);
    };
    useServer(QStringLiteral("oa.test:8080"));
    m_store->setAccountPassword(QStringLiteral("alice"), QStringLiteral("pw-a"));
    m_store->setMainConfig(QStringLiteral("autoLogin"), QStringLiteral("true"));

    useServer(QStringLiteral("http://oa.test:8080"));
    QCOMPARE(m_store->getAllAccount(), QStringList{QStringLiteral("alice")});
    QCOMPARE(m_store->getMainConfig(QStringLiteral("autoLogin")), QStringLiteral("true"));

    useServer(QStringLiteral("https://oa.test:8080"));
    QVERIFY(m_store->getAllAccount().isEmpty());
    QCOMPARE(m_store->getMainConfig(QStringLiteral("autoLogin")), QString());
    m_store->setAccountPassword(QStringLiteral("bob"), QStringLiteral("pw-b"));

    useServer(QStringLiteral("oa.test:8080"));
    QCOMPARE(m_store->getAllAccount(), QStringList{QStringLiteral("alice")});
    QCOMPARE(m_store->getAccountPassword(QStringLiteral("bob")), QString());
}

void TestConfigFile::accountRecords()
{
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("oa.test"));
    m_store->setAccountPassword(QStringLiteral("张三"), QStringLiteral("p=a&ss+"));
    m_store->setAccountImage(QStringLiteral("张三"), QStringLiteral("/tmp/head.png"));
    m_store->setAccountPassword(QStringLiteral("dept/bob"), QStringLiteral("x"));

    const QString group =
        QStringLiteral("accounts") + ConfigFile::serverDigest(QStringLiteral("oa.test"));
    QVERIFY(SecretSeal::isSealed(rawValue(group + QStringLiteral("/张三")).toString()));
    QCOMPARE(m_store->getAccountPassword(QStringLiteral("张三")), QStringLiteral("p=a&ss+"));
    QCOMPARE(m_store->getAccountImage(QStringLiteral("张三")), QStringLiteral("/tmp/head.png"));
    // A name holding "/" must still list as itself.
    QStringList accounts = m_store->getAllAccount();
    accounts.sort();
    QCOMPARE(accounts, (QStringList{QStringLiteral("dept/bob"), QStringLiteral("张三")}));

    m_store->removeAccount(QStringLiteral("张三"));
    QCOMPARE(m_store->getAllAccount(), QStringList{QStringLiteral("dept/bob")});
    QCOMPARE(m_store->getAccountImage(QStringLiteral("张三")), QString());
}

void TestConfigFile::loginServerLock()
{
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("first.test"));
    m_store->setAccountPassword(QStringLiteral("alice"), QStringLiteral("pw"));
    m_store->setMainConfig(QStringLiteral("currentPassword"), QStringLiteral("pw"));
    m_store->setHistoricalRecord(QStringLiteral("Carol"));
    m_store->getMainConfig(QStringLiteral("currentServerIp"));
    const QString firstDigest = m_store->severIpMd5();

    m_store->setLoginServerIp();
    QVERIFY(m_store->loginServerLocked());
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("second.test"));

    QCOMPARE(m_store->getMainConfig(QStringLiteral("currentServerIp")),
             QStringLiteral("http://first.test"));
    QCOMPARE(m_store->severIpMd5(), firstDigest);
    QCOMPARE(m_store->getAllAccount(), QStringList{QStringLiteral("alice")});
    QCOMPARE(m_store->getHistoricalRecord(), QStringList{QStringLiteral("Carol")});
    // Under the lock the password is read from its mainconfig copy, still in plain text.
    QCOMPARE(m_store->getMainConfig(QStringLiteral("currentPassword")), QStringLiteral("pw"));

    // Writes go to the locked server's groups too.
    m_store->setAccountPassword(QStringLiteral("dave"), QStringLiteral("pw2"));
    m_store->setMainConfig(QStringLiteral("autoLogin"), QStringLiteral("true"));
    QVERIFY(SecretSeal::isSealed(
        rawValue(QStringLiteral("accounts") + firstDigest + QStringLiteral("/dave")).toString()));
    QCOMPARE(
        rawValue(QStringLiteral("status") + firstDigest + QStringLiteral("/autoLogin")).toString(),
        QStringLiteral("true"));
    // The address the documents chose is still saved for the next start.
    QCOMPARE(rawValue(QStringLiteral("mainconfig/currentServerIp")).toString(),
             QStringLiteral("second.test"));
}

void TestConfigFile::serverAddressList()
{
    m_store->addServerAddress(QStringLiteral("https://secure.test:8443"), QStringLiteral("en"));
    m_store->addServerAddress(QStringLiteral("http://10.0.0.1:80"), QStringLiteral("zh"));
    m_store->addServerAddress(QStringLiteral("plain.test"));

    QStringList listed = m_store->getServerAddress();
    listed.sort();
    QCOMPARE(listed,
             (QStringList{QStringLiteral("10.0.0.1:80"), QStringLiteral("https://secure.test:8443"),
                          QStringLiteral("plain.test")}));
    // The settings format cannot keep "//" in a key.
    QSettings raw(settingsDir() + QStringLiteral("config.ini"), QSettings::IniFormat);
    QVERIFY(raw.allKeys().contains(QStringLiteral("serverAddress/https:/secure.test:8443")));

    QCOMPARE(m_store->getServerAddressLangue(QStringLiteral("https://secure.test:8443")),
             QStringLiteral("en"));
    QCOMPARE(m_store->getServerAddressLangue(QStringLiteral("10.0.0.1:80")), QStringLiteral("zh"));

    m_store->setMainConfig(QStringLiteral("currentServerIp"),
                           QStringLiteral("https://secure.test:8443"));
    QCOMPARE(m_store->currentServerLanguage(), QStringLiteral("en"));
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("10.0.0.1:80"));
    QCOMPARE(m_store->currentServerLanguage(), QStringLiteral("zh"));

    m_store->removeServerAddress(QStringLiteral("https://secure.test:8443"));
    listed = m_store->getServerAddress();
    listed.sort();
    QCOMPARE(listed, (QStringList{QStringLiteral("10.0.0.1:80"), QStringLiteral("plain.test")}));
}

void TestConfigFile::perServerDefaults()
{
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("oa.test"));
    QCOMPARE(m_store->getBrowserPath(QStringLiteral("browserPath")),
             QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    QCOMPARE(m_store->getExitbtnStatus(), false);
    m_store->setBrowserPath(QStringLiteral("/data/down"), QStringLiteral("browserPath"));
    m_store->setExitbtnStatus(true);
    QCOMPARE(m_store->getBrowserPath(QStringLiteral("browserPath")), QStringLiteral("/data/down"));
    QCOMPARE(m_store->getExitbtnStatus(), true);

    m_store->setHistoricalRecord(QStringLiteral("Alice"));
    m_store->setHistoricalRecord(QStringLiteral("Sales"), QStringLiteral("3"));
    QCOMPARE(m_store->getHistoricalGroup(QStringLiteral("Alice")), QStringLiteral("2"));
    QCOMPARE(m_store->getHistoricalGroup(QStringLiteral("Sales")), QStringLiteral("3"));
    m_store->removeHistoricalRecord(QStringLiteral("Alice"));
    QCOMPARE(m_store->getHistoricalRecord(), QStringList{QStringLiteral("Sales")});

    // Another server starts from the defaults again.
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("https://oa.test"));
    QCOMPARE(m_store->getExitbtnStatus(), false);
    QVERIFY(m_store->getHistoricalRecord().isEmpty());
}

void TestConfigFile::currentChatsPerUser()
{
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("oa.test"));
    m_store->setCurrentChatName(QStringLiteral("7"), QStringLiteral("12"), QStringLiteral("Bob"));
    m_store->setCurrentChatTypes(QStringLiteral("7"), QStringLiteral("12"), QStringLiteral("2"));
    m_store->setCurrentChatName(QStringLiteral("7"), QStringLiteral("g1"), QStringLiteral("Team"));
    m_store->setCurrentChatName(QString(), QStringLiteral("99"), QStringLiteral("Before login"));

    QStringList chats = m_store->getCurrentChat(QStringLiteral("7"));
    chats.sort();
    QCOMPARE(chats, (QStringList{QStringLiteral("12"), QStringLiteral("g1")}));
    QCOMPARE(m_store->getCurrentChat(QString()), QStringList{QStringLiteral("99")});
    QVERIFY(m_store->getCurrentChat(QStringLiteral("8")).isEmpty());
    QCOMPARE(m_store->getCurrentChatTypes(QStringLiteral("7"), QStringLiteral("12")),
             QStringLiteral("2"));
    QVERIFY(m_store->judgeCurrentChatName(QStringLiteral("7"), QStringLiteral("12")));
    QVERIFY(!m_store->judgeCurrentChatName(QStringLiteral("8"), QStringLiteral("12")));

    m_store->removeCurrentChat(QStringLiteral("7"), QStringLiteral("12"));
    QVERIFY(!m_store->judgeCurrentChatName(QStringLiteral("7"), QStringLiteral("12")));
    QCOMPARE(m_store->getCurrentChatTypes(QStringLiteral("7"), QStringLiteral("12")), QString());
    QCOMPARE(m_store->getCurrentChat(QStringLiteral("7")), QStringList{QStringLiteral("g1")});
}

void TestConfigFile::persistsAcrossRestart()
{
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("oa.test"));
    m_store->setAccountPassword(QStringLiteral("alice"), QStringLiteral("pw"));
    m_store->setMainConfig(QStringLiteral("currentTheme"), QStringLiteral("深色"));
    m_store->setLoginServerIp();
    m_store->setWebSystemIp(QStringLiteral("/web/"));
    m_store->setClientUrlFlag(true);

    m_store = ConfigFile::resetForTests(m_base->path());
    QCOMPARE(m_store->getAccountPassword(QStringLiteral("alice")), QStringLiteral("pw"));
    QCOMPARE(m_store->getMainConfig(QStringLiteral("currentTheme")), QStringLiteral("深色"));
    // Run-time state starts afresh.
    QVERIFY(!m_store->loginServerLocked());
    QVERIFY(!m_store->clientUrlFlag());
    QCOMPARE(m_store->webSystemIp(), QString());
}

void TestConfigFile::scratchFoldersEmptied()
{
    const QString root = m_base->path() + QStringLiteral("/morvane/tarnex/");
    const QStringList scratch{root + QStringLiteral("configimage/"),
                              root + QStringLiteral("configupdate/")};
    const auto touch = [](const QString &path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    };
    for (const QString &dir : scratch) {
        QVERIFY(QDir(dir).exists());
        QVERIFY(QDir().mkpath(dir + QStringLiteral("keep")));
        touch(dir + QStringLiteral("a.png"));
        touch(dir + QStringLiteral(".hidden"));
        touch(dir + QStringLiteral("keep/inner.png"));
    }
    touch(settingsDir() + QStringLiteral("tarnexdata.ini"));

    m_store = ConfigFile::resetForTests(m_base->path());
    for (const QString &dir : scratch) {
        QVERIFY(!QFile::exists(dir + QStringLiteral("a.png")));
        QVERIFY(!QFile::exists(dir + QStringLiteral(".hidden")));
        QVERIFY(QFile::exists(dir + QStringLiteral("keep/inner.png")));
    }
    QVERIFY(QFile::exists(settingsDir() + QStringLiteral("tarnexdata.ini")));
    QCOMPARE(m_store->imageFolderPath(), scratch.at(0));
    QCOMPARE(m_store->updateFolderPath(), scratch.at(1));
    QCOMPARE(m_store->settingsFolderPath(), settingsDir());
}

void TestConfigFile::damagedSettingsFile_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("garbage bytes") << QStringLiteral("garbage");
    QTest::newRow("folder in its place") << QStringLiteral("folder");
    QTest::newRow("no permission") << QStringLiteral("unreadable");
}

void TestConfigFile::damagedSettingsFile()
{
    QFETCH(QString, damage);
    const QString file = settingsDir() + QStringLiteral("config.ini");
    // Written by hand: the settings classes cache files they have read within a process.
    m_store = ConfigFile::resetForTests(m_idle.path());
    const QString group =
        QStringLiteral("accounts") + ConfigFile::serverDigest(QStringLiteral("oa.test"));
    QFile sound(file);
    QVERIFY(sound.open(QIODevice::WriteOnly));
    sound.write("[mainconfig]\ncurrentServerIp=oa.test\n[" + group.toLatin1() + "]\nalice=cHc=\n");
    sound.close();

    QFile sibling(settingsDir() + QStringLiteral("tarnexdata.ini"));
    QVERIFY(sibling.open(QIODevice::WriteOnly));
    sibling.write("[g]\nk=v\n");
    sibling.close();

    if (damage == QLatin1String("garbage")) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray bytes;
        for (int i = 0; i < 4096; ++i)
            bytes.append(char((i * 7919 + 13) % 256));
        out.write(bytes);
    } else if (damage == QLatin1String("folder")) {
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkpath(file + QStringLiteral("/inner")));
    } else {
        if (geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        QVERIFY(QFile::setPermissions(file, QFileDevice::Permissions()));
    }

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("settings file .*")));
    m_store = ConfigFile::resetForTests(m_base->path());
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("oa.test"));
    QCOMPARE(m_store->getAllAccount(), QStringList());
    QCOMPARE(m_store->getMainConfig(QStringLiteral("currentAccount")), QString());
    QCOMPARE(m_store->getExitbtnStatus(), false);
    m_store->setAccountPassword(QStringLiteral("bob"), QStringLiteral("pw"));
    QCOMPARE(m_store->getAccountPassword(QStringLiteral("bob")), QStringLiteral("pw"));

    QVERIFY(QFile::exists(sibling.fileName()));
    if (damage == QLatin1String("garbage")) {
        // The damaged original is kept, and the store writes a sound file again.
        const QStringList kept =
            QDir(settingsDir()).entryList({QStringLiteral("config.ini.damaged-*")});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(QFileInfo(settingsDir() + kept.first()).size(), qint64(4096));
        QCOMPARE(rawValue(QStringLiteral("mainconfig/currentServerIp")).toString(),
                 QStringLiteral("oa.test"));
    } else if (damage == QLatin1String("folder")) {
        QVERIFY(QFile::exists(file + QStringLiteral("/inner")));
    } else {
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

// Passwords and tokens live here: no other user of the machine may read them, also after the
// store has rewritten the file.
void TestConfigFile::readableByTheUserOnly()
{
    const QFile::Permissions group = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup;
    const QFile::Permissions other = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    m_store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("oa.example.com"));
    m_store = ConfigFile::resetForTests(m_base->path());
    m_store->setMainConfig(QStringLiteral("theme"), QStringLiteral("dark"));
    const QString file = m_store->settingsFilePath();
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(QFileInfo(file).permissions() & (group | other), QFile::Permissions());
    QVERIFY(QFileInfo(file).permissions() & QFile::ReadOwner);
    for (const QString &folder :
         {m_store->settingsFolderPath(), m_store->imageFolderPath(), m_store->updateFolderPath(),
          m_base->filePath(QStringLiteral("morvane"))}) {
        QCOMPARE(QFileInfo(folder).permissions() & (group | other), QFile::Permissions());
    }
}

TARNEX_TEST_MAIN(TestConfigFile)
#include "tst_configfile.moc"
