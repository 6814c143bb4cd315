#include "logwatch.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "language/httplanguagepackage.h"
#include "language/languageinformation.h"
#include "language/text.h"

#include <QtTest>

// The language store is process-wide, so the cases run in order against one server and build
// on each other's state.
class TestLanguage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void listReachesEveryDocument();
    void textTableAndLookup();
    void failedListKeepsTheOldOne();
    void failedTableKeepsTheOldOne();
    void unreachableServerChangesNothing();
    void cleanupTestCase();

private:
    void setMode(const QString &mode);
    ReferenceServer m_server;
};

void TestLanguage::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
}

void TestLanguage::cleanupTestCase()
{
    m_server.stop();
}

void TestLanguage::setMode(const QString &mode)
{
    m_server.hook(QStringLiteral("lang"), {{QStringLiteral("mode"), mode}});
}

void TestLanguage::listReachesEveryDocument()
{
    HttplanguagePackage first;
    HttplanguagePackage second;
    QSignalSpy firstList(&first, &HttplanguagePackage::sigLangueList);
    QSignalSpy secondList(&second, &HttplanguagePackage::sigLangueList);
    QVERIFY(first.getLangKeys().isEmpty());
    first.getLangPackages(m_server.address());
    QVERIFY(firstList.wait(20000));
    QCOMPARE(secondList.count(), 1);
    const QStringList codes = second.getLangKeys();
    QVERIFY(codes.contains(QStringLiteral("zh_CN")));
    QVERIFY(codes.contains(QStringLiteral("en")));
    QVERIFY(std::is_sorted(codes.cbegin(), codes.cend()));
    QCOMPARE(first.getLangName(QStringLiteral("en")), QStringLiteral("English"));
    QCOMPARE(first.getLangName(QStringLiteral("xx")), QString());
}

void TestLanguage::textTableAndLookup()
{
    HttplanguagePackage package;
    QCOMPARE(
        tarnex::text(QStringLiteral("server_address_errors"), QStringLiteral("服务器地址错误")),
        QStringLiteral("服务器地址错误"));
    QSignalSpy loaded(&package, &HttplanguagePackage::sigLangueFileList);
    package.getLangPackagesFile(QStringLiteral("en"),
                                QStringLiteral("http://") + m_server.address());
    QVERIFY(loaded.wait(20000));
    const QString english = package.getLangFileName(QStringLiteral("server_address_errors"));
    QVERIFY(!english.isEmpty());
    QCOMPARE(
        tarnex::text(QStringLiteral("server_address_errors"), QStringLiteral("服务器地址错误")),
        english);
    // A key the package lacks gives the empty text, and the caller's built-in text is shown.
    QCOMPARE(package.getLangFileName(QStringLiteral("no_such_key")), QString());
    QCOMPARE(tarnex::text(QStringLiteral("no_such_key"), QStringLiteral("内置")),
             QStringLiteral("内置"));
}

void TestLanguage::failedListKeepsTheOldOne()
{
    HttplanguagePackage package;
    const QStringList before = package.getLangKeys();
    QSignalSpy list(&package, &HttplanguagePackage::sigLangueList);

    setMode(QStringLiteral("status0"));
    package.getLangPackages(m_server.address());
    QVERIFY(list.wait(20000)); // still announced, with the old list
    QCOMPARE(package.getLangKeys(), before);

    // Not JSON: no signal at all, and the list stays.
    setMode(QStringLiteral("garbage"));
    list.clear();
    package.getLangPackages(m_server.address());
    QVERIFY(!list.wait(1500));
    QCOMPARE(package.getLangKeys(), before);
    setMode(QStringLiteral("normal"));
}

void TestLanguage::failedTableKeepsTheOldOne()
{
    HttplanguagePackage package;
    const QString before = package.getLangFileName(QStringLiteral("server_address_errors"));
    QVERIFY(!before.isEmpty());
    QSignalSpy loaded(&package, &HttplanguagePackage::sigLangueFileList);
    setMode(QStringLiteral("status0"));
    package.getLangPackagesFile(QStringLiteral("zh_CN"), m_server.address());
    // An earlier table is loaded, so the failed load still announces it, unchanged.
    QVERIFY(loaded.wait(20000));
    QCOMPARE(package.getLangFileName(QStringLiteral("server_address_errors")), before);
    setMode(QStringLiteral("normal"));
    // An unknown code is refused by the server and keeps the table too.
    loaded.clear();
    package.getLangPackagesFile(QStringLiteral("xx"), m_server.address());
    QVERIFY(loaded.wait(20000));
    QCOMPARE(package.getLangFileName(QStringLiteral("server_address_errors")), before);
}

void TestLanguage::unreachableServerChangesNothing()
{
    HttplanguagePackage package;
    const QStringList codes = package.getLangKeys();
    QSignalSpy list(&package, &HttplanguagePackage::sigLangueList);
    QSignalSpy table(&package, &HttplanguagePackage::sigLangueFileList);
    // Nothing listens on port 1; the replies carry a network error and an empty body, which is
    // logged as unreadable once handled.
    LogWatch log;
    package.getLangPackages(QStringLiteral("127.0.0.1:1"));
    package.getLangPackagesFile(QStringLiteral("en"), QStringLiteral("127.0.0.1:1"));
    QTRY_VERIFY_WITH_TIMEOUT(log.count(QStringLiteral("language list is not JSON")) == 1 &&
                                 log.count(QStringLiteral("text table is not JSON")) == 1,
                             20000);
    QCoreApplication::processEvents();
    QCOMPARE(list.count(), 0);
    QCOMPARE(table.count(), 0);
    QCOMPARE(package.getLangKeys(), codes);
}

TARNEX_TEST_MAIN(TestLanguage)
#include "tst_language.moc"
