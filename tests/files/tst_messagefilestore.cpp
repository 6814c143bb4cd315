#include "filestestkit.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "files/messagefilestore.h"
#include "files/messagefilestoreitem.h"
#include "messaging/sockethandl.h"

#include <QDesktopServices>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

// Catches the desktop's "open this file" requests.
class OpenRecorder : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &url) { opened << url; }

public:
    QList<QUrl> opened;
};

// Where received files are remembered: keys, layout in the file, and opening a file.
class TestMessageFilestore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void serverKeys_data();
    void serverKeys();
    void messageKeys_data();
    void messageKeys();
    void rememberedPerServerUserAndPartner();
    void idsWithinOneThousandShareAKey();
    void fileExists_data();
    void fileExists();
    void openFileGoesToTheDesktop();
    void sentFileMessageIsRemembered();

private:
    RecordingEngine m_engine{QStringLiteral("7")};
    QTemporaryDir m_dir;
};

void TestMessageFilestore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    FileMessageEngine::replace(&m_engine);
}

void TestMessageFilestore::cleanupTestCase()
{
    FileMessageEngine::replace(nullptr);
}

void TestMessageFilestore::serverKeys_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("key");
    QTest::newRow("https with port") << "https://oa.example.com:8443"
                                     << "oaexamplecom8443";
    QTest::newRow("http") << "http://10.0.0.5"
                          << "10005";
    QTest::newRow("as typed") << "127.0.0.1:3000"
                              << "1270013000";
}

void TestMessageFilestore::serverKeys()
{
    QFETCH(QString, address);
    QFETCH(QString, key);
    QCOMPARE(MessageFilestore::serverKeyOf(address), key);
    // openDataBase takes it from the settings, which put "http://" in front of a bare address.
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), address);
    QVERIFY(MessageFilestore::instance()->openDataBase());
    QCOMPARE(MessageFilestore::instance()->serverKey(), key);
}

void TestMessageFilestore::messageKeys_data()
{
    QTest::addColumn<QString>("messageId");
    QTest::addColumn<QString>("key");
    QTest::newRow("millisecond id") << "1712345678901"
                                    << "1712345678";
    QTest::newRow("below one thousand") << "999"
                                        << "0";
    QTest::newRow("not a number") << "abc"
                                  << "0";
}

void TestMessageFilestore::messageKeys()
{
    QFETCH(QString, messageId);
    QFETCH(QString, key);
    QCOMPARE(MessageFilestore::keyOf(messageId), key);
}

void TestMessageFilestore::rememberedPerServerUserAndPartner()
{
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"),
                                          QStringLiteral("https://oa.example.com:8443"));
    MessageFilestoreitem item;
    QVERIFY(item.openDataBase());
    QVERIFY(item.creatTable());
    QVERIFY(item.insertNewData(QStringLiteral("42"), QStringLiteral("1712345678901"),
                               QStringLiteral("file:///tmp/报告.pdf")));
    QCOMPARE(item.getRowData(QStringLiteral("42"), QStringLiteral("1712345678901")),
             QStringList{QStringLiteral("file:///tmp/报告.pdf")});
    // Never stored: one empty text, not an empty list.
    QCOMPARE(item.getRowData(QStringLiteral("42"), QStringLiteral("1000")), QStringList{QString()});
    QCOMPARE(item.getRowData(QStringLiteral("43"), QStringLiteral("1712345678901")),
             QStringList{QString()});

    // Another signed-in user on the same server sees nothing.
    m_engine = RecordingEngine(QStringLiteral("8"));
    QCOMPARE(item.getRowData(QStringLiteral("42"), QStringLiteral("1712345678901")),
             QStringList{QString()});
    m_engine = RecordingEngine(QStringLiteral("7"));

    // The file: group = server key + own id + partner id, key = id / 1000.
    const QString path = MessageFilestore::instance()->storePath();
    QVERIFY(path.endsWith(QStringLiteral("morvane/tarnex/configfile/tarnexdata.ini")));
    MessageFilestore::resetForTests(); // writes the file
    QSettings file(path, QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    QCOMPARE(file.value(QStringLiteral("oaexamplecom8443742/1712345678")).toString(),
             QStringLiteral("file:///tmp/报告.pdf"));
}

void TestMessageFilestore::idsWithinOneThousandShareAKey()
{
    MessageFilestore *store = MessageFilestore::instance();
    store->openDataBase();
    store->insertNewData(QStringLiteral("5"), QStringLiteral("1712345678001"), QStringLiteral("a"));
    store->insertNewData(QStringLiteral("5"), QStringLiteral("1712345678999"), QStringLiteral("b"));
    QCOMPARE(store->getRowData(QStringLiteral("5"), QStringLiteral("1712345678500")),
             QStringList{QStringLiteral("b")});
}

void TestMessageFilestore::fileExists_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("exists");
    const QString path = m_dir.filePath(QStringLiteral("收到 的#文件.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QTest::newRow("plain path") << path << true;
    QTest::newRow("file URL") << QUrl::fromLocalFile(path).toString() << true;
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.txt")) << false;
    QTest::newRow("empty") << QString() << false;
}

void TestMessageFilestore::fileExists()
{
    QFETCH(QString, given);
    QFETCH(bool, exists);
    QCOMPARE(MessageFilestoreitem().jusitFileExits(given), exists);
}

void TestMessageFilestore::openFileGoesToTheDesktop()
{
    OpenRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    const QString path = m_dir.filePath(QStringLiteral("打开 我.txt"));
    MessageFilestoreitem().openFile(QUrl::fromLocalFile(path).toString());
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
}

// The messaging engine announces a sent private file message; the store remembers it.
void TestMessageFilestore::sentFileMessageIsRemembered()
{
    FileMessageEngine::replace(nullptr);
    SocketHandl::instance()->setLoginIdentity(QStringLiteral("9"), QString(), QString());
    FileMessageEngine::current(); // wires the engine to the store
    MessageFilestore::instance()->openDataBase();
    emit SocketHandl::instance()->sigRecordMessageFile(
        QStringLiteral("12"), QStringLiteral("1712345678901"), QStringLiteral("/tmp/x.zip"));
    QCOMPARE(MessageFilestore::instance()->getRowData(QStringLiteral("12"),
                                                      QStringLiteral("1712345678901")),
             QStringList{QStringLiteral("/tmp/x.zip")});
    FileMessageEngine::replace(&m_engine);
}

TARNEX_TEST_MAIN(TestMessageFilestore)
#include "tst_messagefilestore.moc"
