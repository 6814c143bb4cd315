#include "filestestkit.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "files/downloadfile.h"
#include "files/messagefilestore.h"
#include "messaging/sockethandl.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// A chat file through the real messaging engine: the pending message shown while the file goes
// up, replaced by the sent one that carries the attachment, and remembered with its path.
class TestChatFileMessage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void sentFileReplacesThePendingMessage();
    void failedUploadTakesThePendingMessageAway();

private:
    QJsonArray sentMessages() const;

    ReferenceServer m_server;
    QTemporaryDir m_dir;
    SocketHandl *m_engine = nullptr;
};

void TestChatFileMessage::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    QVERIFY(signInAt(m_server, QStringLiteral("zhangwei")));
    ParameterInfor *parameters = ParameterInfor::instance();
    parameters->setImHost(QStringLiteral("127.0.0.1"));
    parameters->setImPort(QString::number(m_server.port()));
    m_engine = SocketHandl::instance();
    m_engine->setLoginIdentity(QStringLiteral("10001"), QStringLiteral("技术研发部"),
                               QStringLiteral("部门经理"));
    QSignalSpy connected(m_engine, qOverload<bool>(&SocketHandl::sigConnectServer));
    m_engine->connectServer();
    QVERIFY(connected.wait(20000));
    QCOMPARE(connected.first().first().toBool(), true);
    MessageFilestore::instance()->openDataBase();
}

void TestChatFileMessage::init()
{
    m_server.hook(QStringLiteral("files-reset"));
    m_server.hook(QStringLiteral("received"), {{QStringLiteral("clear"), true}});
}

void TestChatFileMessage::cleanupTestCase()
{
    m_engine->disConnectServer();
    m_server.stop();
}

QJsonArray TestChatFileMessage::sentMessages() const
{
    return m_server
        .hook(QStringLiteral("received"),
              {{QStringLiteral("event"), QStringLiteral("send message")}})
        .value(QLatin1String("events"))
        .toArray();
}

void TestChatFileMessage::sentFileReplacesThePendingMessage()
{
    const QString path = m_dir.filePath(QStringLiteral("方案 v2.docx"));
    QVERIFY(writePatternFile(path, DownloadFile::chunkSize + 10));
    QSignalSpy shown(m_engine, &SocketHandl::sigPrivareMessage);
    QSignalSpy removed(m_engine, &SocketHandl::sigRemoveMessage);
    DownloadFile files;
    QSignalSpy progress(&files, &DownloadFile::sigUploadProgress);
    files.loaclFileToNetwork(path, QStringLiteral("0"), QStringLiteral("10002"),
                             QStringLiteral("方案 v2.docx"), QStringLiteral("file"),
                             QStringLiteral("2"));
    // The pending message shows at once.
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().first().toString(), QStringLiteral("10002"));
    const QString pending = QJsonDocument::fromJson(shown.first().at(1).toString().toUtf8())
                                .object()
                                .value("msg_id")
                                .toVariant()
                                .toString();
    QVERIFY(!pending.isEmpty());

    QVERIFY(waitUntil([&] { return !files.uploadBusy(); }, 30000));
    QTRY_COMPARE_WITH_TIMEOUT(sentMessages().size(), 1, 10000);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.first(), (QList<QVariant>{QStringLiteral("10002"), pending}));
    QCOMPARE(progress.last().first().toString(), pending);

    // The sent message carries the attachment and the file's facts.
    const QJsonObject payload =
        sentMessages().first().toObject().value("args").toArray().first().toObject();
    QCOMPARE(payload.value("to").toVariant().toString(), QStringLiteral("10002"));
    QCOMPARE(payload.value("msg_type").toString(), QStringLiteral("file"));
    QCOMPARE(payload.value("file_type").toString(), QStringLiteral("docx"));
    QCOMPARE(payload.value("size").toVariant().toLongLong(), DownloadFile::chunkSize + 10);
    const QString attachment = payload.value("download").toString();
    QCOMPARE(m_server.hook(QStringLiteral("files-info"), {{QStringLiteral("id"), attachment}})
                 .value("name")
                 .toString(),
             QStringLiteral("方案 v2.docx"));

    // The sender can open the file later.
    const QString sent = payload.value("msg_id").toVariant().toString();
    QCOMPARE(MessageFilestore::instance()->getRowData(QStringLiteral("10002"), sent),
             QStringList{path});
}

void TestChatFileMessage::failedUploadTakesThePendingMessageAway()
{
    m_server.hook(QStringLiteral("files"),
                  {{QStringLiteral("upload"), QStringLiteral("fail-chunk")},
                   {QStringLiteral("failChunk"), 1}});
    const QString path = m_dir.filePath(QStringLiteral("big.bin"));
    QVERIFY(writePatternFile(path, 2 * DownloadFile::chunkSize + 1));
    QSignalSpy shown(m_engine, &SocketHandl::sigPrivareMessage);
    QSignalSpy removed(m_engine, &SocketHandl::sigRemoveMessage);
    DownloadFile files;
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    files.loaclFileToNetwork(path, QStringLiteral("0"), QStringLiteral("10002"),
                             QStringLiteral("big.bin"), QStringLiteral("file"),
                             QStringLiteral("2"));
    QVERIFY(waitUntil([&] { return !files.uploadBusy(); }, 30000));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(shown.size(), 1);
    const QString pending = QJsonDocument::fromJson(shown.first().at(1).toString().toUtf8())
                                .object()
                                .value("msg_id")
                                .toVariant()
                                .toString();
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.first(), (QList<QVariant>{QStringLiteral("10002"), pending}));
    // A text sent now reaches the server after anything the upload could have sent.
    m_engine->sendPrivateInfor(QStringLiteral("10002"), QStringLiteral("after"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(sentMessages().size(), 1, 10000);
    QCOMPARE(sentMessages()
                 .first()
                 .toObject()
                 .value("args")
                 .toArray()
                 .first()
                 .toObject()
                 .value("msg_type")
                 .toString(),
             QStringLiteral("text"));
}

TARNEX_TEST_MAIN(TestChatFileMessage)
#include "tst_chatfilemessage.moc"
