// The single-instance lock and socket live where only the user can enter, and a second start
// still finds and raises the first.

#include "platform/singleinstance.h"
#include "testenvironment.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void privateAndRaised_data();
    void privateAndRaised();
};

void TestSingleInstance::privateAndRaised_data()
{
    QTest::addColumn<QString>("runtime"); // "private", "open" or "" (unset)
    QTest::addColumn<bool>("inRuntime");
    QTest::newRow("private runtime folder") << "private" << true;
    QTest::newRow("runtime folder open to others") << "open" << false;
    QTest::newRow("no runtime folder") << "" << false;
}

void TestSingleInstance::privateAndRaised()
{
    QFETCH(QString, runtime);
    QFETCH(bool, inRuntime);
    QTemporaryDir runtimeDir;
    QTemporaryDir home;
    QVERIFY(runtimeDir.isValid() && home.isValid());
    if (runtime == QLatin1String("open"))
        QVERIFY(QFile::setPermissions(runtimeDir.path(), QFile::Permissions(0x7777)));
    if (runtime.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
    const QString settings = home.filePath(QStringLiteral("configfile"));

    SingleInstance first(settings);
    QVERIFY(first.claim());
    const QString folder = first.runtimeFolder();
    QCOMPARE(folder.startsWith(runtimeDir.path() + QLatin1Char('/')), inRuntime);
    if (!inRuntime)
        QCOMPARE(folder, settings + QStringLiteral("/run"));
    QVERIFY(SingleInstance::isPrivateFolder(folder));
    QVERIFY(first.socketName().startsWith(folder + QLatin1Char('/')));
    QVERIFY(QFile::exists(folder + QStringLiteral("/instance.lock")));

    QSignalSpy raised(&first, &SingleInstance::raiseRequested);
    SingleInstance second(settings);
    QVERIFY(!second.claim());
    QVERIFY(second.runningClientAnswered());
    QVERIFY(raised.wait(10000));
}

TARNEX_TEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
