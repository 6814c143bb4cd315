#include "testenvironment.h"

#include "config/configfile.h"
#include "shell/basicsettings.h"
#include "shell/configdata.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The settings page's values: what each switch writes, the rules between them, the language of
// the current server and the download folder's URL forms. Each value is read back through a
// fresh ConfigData, as the next start of the client would.
class TestBasicSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void rememberAndAutoLoginHoldTogether();
    void switchesByKeyAndReload();
    void languageOfTheCurrentServer();
    void downloadFolder();
    void folderUrlForms_data();
    void folderUrlForms();

private:
    QTemporaryDir m_base;
};

void TestBasicSettings::init()
{
    QVERIFY(m_base.isValid());
    ConfigFile::resetForTests(m_base.path() + QLatin1Char('/'));
    ConfigData config;
    config.setCurrentMainFile(QStringLiteral("http://oa.example.com:8080/"),
                              QStringLiteral("currentServerIp"));
    config.setCurrentMainFile(QStringLiteral("zhangwei"), QStringLiteral("currentAccount"));
    config.setAccountPassword(QStringLiteral("zhangwei"), QStringLiteral("secret"));
}

void TestBasicSettings::rememberAndAutoLoginHoldTogether()
{
    BasicSettings settings;
    settings.reload();
    QSignalSpy changed(&settings, &BasicSettings::changed);

    // Auto-login needs the password kept.
    settings.setValue(QStringLiteral("auto"), true);
    QVERIFY(settings.autoLogin() && settings.rememberPassword());
    QVERIFY(changed.size() >= 2);
    QCOMPARE(ConfigData().getCurrentMainFile(QStringLiteral("rememberPassword")),
             QStringLiteral("true"));
    QCOMPARE(ConfigData().getCurrentMainFile(QStringLiteral("autoLogin")), QStringLiteral("true"));
    QCOMPARE(ConfigData().getAccountPassword(QStringLiteral("zhangwei")), QStringLiteral("secret"));

    // Not keeping it forgets the saved one and ends auto-login.
    settings.setValue(QStringLiteral("remember"), false);
    QVERIFY(!settings.autoLogin() && !settings.rememberPassword());
    ConfigData stored;
    QCOMPARE(stored.getCurrentMainFile(QStringLiteral("rememberPassword")),
             QStringLiteral("false"));
    QCOMPARE(stored.getCurrentMainFile(QStringLiteral("autoLogin")), QStringLiteral("false"));
    QCOMPARE(stored.getAccountPassword(QStringLiteral("zhangwei")), QString());
    QCOMPARE(stored.getAllAccount(), QStringList{QStringLiteral("zhangwei")});
}

void TestBasicSettings::switchesByKeyAndReload()
{
    BasicSettings settings;
    settings.reload();
    const QStringList keys{"doNotDisturb", "hidePreview", "exit"};
    for (const QString &key : keys) {
        QVERIFY2(!settings.valueOf(key), qPrintable(key));
        settings.setValue(key, true);
        QVERIFY2(settings.valueOf(key), qPrintable(key));
    }
    settings.setSystemBrowser(true);

    // A page opened later reads the same, and each key landed where the rest of the client
    // reads it.
    BasicSettings later;
    later.reload();
    QVERIFY(later.doNotDisturb() && later.hidePreview() && later.exitOnClose());
    QVERIFY(later.systemBrowser());
    QVERIFY(!later.valueOf(QStringLiteral("remember")));
    ConfigData stored;
    QCOMPARE(stored.getCurrentMainFile(QStringLiteral("doNotDisturb")), QStringLiteral("true"));
    QCOMPARE(stored.getCurrentMainFile(QStringLiteral("hidePreview")), QStringLiteral("true"));
    QCOMPARE(stored.getCurrentMainFile(QStringLiteral("systemBrowser")), QStringLiteral("true"));
    QVERIFY(stored.getExitbtnStatus());
}

void TestBasicSettings::languageOfTheCurrentServer()
{
    ConfigData config;
    config.addServerAddress(QStringLiteral("oa.example.com:8080"), QStringLiteral("zh_CN"));
    BasicSettings settings;
    settings.reload();
    QCOMPARE(settings.serverAddress(), QStringLiteral("oa.example.com:8080"));
    QCOMPARE(settings.currentLang(), QStringLiteral("zh_CN"));
    QVERIFY(!settings.chooseLanguage(QString()));
    // The offered list again is no change: the choices stay as they are under the focus.
    QSignalSpy offered(&settings, &BasicSettings::langCodesChanged);
    settings.takeLanguages({QStringLiteral("zh_CN"), QStringLiteral("en")});
    settings.takeLanguages({QStringLiteral("zh_CN"), QStringLiteral("en")});
    QCOMPARE(offered.size(), 1);
    settings.takeLanguages({QStringLiteral("en")});
    QCOMPARE(offered.size(), 2);
    QVERIFY(settings.chooseLanguage(QStringLiteral("en")));
    QCOMPARE(settings.currentLang(), QStringLiteral("en"));
    QCOMPARE(config.getServerAddressLangue(QStringLiteral("oa.example.com:8080")),
             QStringLiteral("en"));

    // Without a server there is nothing to keep a language for.
    config.setCurrentMainFile(QString(), QStringLiteral("currentServerIp"));
    settings.reload();
    QCOMPARE(settings.serverAddress(), QString());
    QCOMPARE(settings.currentLang(), QString());
    QVERIFY(!settings.chooseLanguage(QStringLiteral("en")));
    QCOMPARE(settings.currentLang(), QString());
}

void TestBasicSettings::downloadFolder()
{
    BasicSettings settings;
    settings.reload();
    settings.takeFolder(QStringLiteral("file:///srv/my%20files"));
    QCOMPARE(settings.downloadFolder(), QStringLiteral("/srv/my files"));
    QCOMPARE(settings.downloadFolderUrl(), QStringLiteral("file:///srv/my files"));
    QCOMPARE(ConfigData().getBrowserPath(BasicSettings::downloadKey()),
             QStringLiteral("/srv/my files"));
    settings.takeFolder(QString());
    QCOMPARE(settings.downloadFolder(), QStringLiteral("/srv/my files"));
    settings.restoreDefaultFolder();
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QCOMPARE(settings.downloadFolder(), downloads);
    QCOMPARE(ConfigData().getBrowserPath(BasicSettings::downloadKey()), downloads);
}

void TestBasicSettings::folderUrlForms_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("path");
    QTest::newRow("unix") << "file:///home/a"
                          << "/home/a";
    QTest::newRow("drive letter") << "file:///C:/Users/a"
                                  << "C:/Users/a";
    QTest::newRow("encoded") << "file:///home/%E4%B8%8B%E8%BD%BD"
                             << "/home/下载";
    QTest::newRow("host form") << "file://server/share"
                               << "server/share";
    QTest::newRow("a plain path") << "/home/a"
                                  << "/home/a";
}

void TestBasicSettings::folderUrlForms()
{
    QFETCH(QString, url);
    QFETCH(QString, path);
    QCOMPARE(BasicSettings::localPath(url), path);
    // A dialog started in the folder gives the same path back (a host form has no way back).
    if (QTest::currentDataTag() != QLatin1String("host form"))
        QCOMPARE(BasicSettings::localPath(BasicSettings::folderUrl(path)), path);
}

TARNEX_TEST_MAIN(TestBasicSettings)
#include "tst_basicsettings.moc"
