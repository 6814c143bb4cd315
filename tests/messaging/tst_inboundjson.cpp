// The busy events are read twice over in the client: by the fast parser on the network path and
// by Qt's values where an event arrives before its namespace opens (and in the tools that
// dispatch by hand). Both readings must give the same record, whatever the payload holds.
// The test runs under ThreadSanitizer too, which cannot see Qt Test's own watchdog thread end.

#include "../sio/tsansuppressions.h"
#include "messaging/inboundjson.h"
#include "messaging/messagejson.h"
#include "sio/packetcodec.h"
#include "json/jsonfield.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

namespace {

QStringList fields(const MessageRecord &r)
{
    return {r.creator, r.download, r.fileType, r.haveread, r.msg,       r.msgId,
            r.msgType, r.sendTime, r.time,     r.type,     r.sendStatus};
}

QStringList fields(const GroupMessageRecord &r)
{
    return fields(static_cast<const MessageRecord &>(r)) +
           QStringList{r.groupId,
                       r.userId,
                       r.userName,
                       r.groupName,
                       r.unread,
                       r.userTime,
                       r.members.join(QLatin1Char('|'))};
}

} // namespace

class TestInboundJson : public QObject
{
    Q_OBJECT
private slots:
    void sameRecords_data();
    void sameRecords();
    void repeatedKeys();
    void fastParserTakesOnlyValidText();
    void repeatsAcrossEvents();
};

void TestInboundJson::sameRecords_data()
{
    QTest::addColumn<QString>("payload");
    QTest::newRow("usual")
        << R"({"creator":"10002","to":"10001","download":{"size":3,"name":"a b.pdf"},)"
           R"("file_type":"pdf","haveread":"0","msg":"你好 <b>x</b> 😀",)"
           R"("msg_id":1700000000012,"msg_type":"text","send_time":1700000000001,)"
           R"("time":"1700000000001","type":"user"})";
    QTest::newRow("numbers as text and back")
        << R"({"creator":10002,"msg_id":"42","haveread":0.5,"time":1e21,"send_time":-3,)"
           R"("msg":12345678901234567890,"type":true})";
    QTest::newRow("odd ids") << R"({"creator":"a","msg_id":-1,"download":"plain text"})";
    QTest::newRow("id beyond 64 bits") << R"({"creator":"a","msg_id":18446744073709551616})";
    QTest::newRow("id as long text") << R"({"creator":"a","msg_id":" 123456789012345678901 "})";
    QTest::newRow("wrong types") << R"({"creator":[1],"msg":{"a":1},"download":[1,2],"time":null})";
    QTest::newRow("escapes and surrogates")
        << R"({"creator":"\u0041\ud83d\ude00","msg":"line\nnext \"q\" \\ /","download":{"n":"\u00e9"}})";
    QTest::newRow("repeated keys")
        << R"({"creator":"first","msg":[1],"creator":"last","msg":"two"})";
    QTest::newRow("empty") << R"({})";
    QTest::newRow("group") << R"({"creator":"10003","group_id":77,"userTime":"5","msg_id":9,)"
                              R"("fromDetail":{"user_id":10003,"user_name":"张三"},)"
                              R"("info":{"name":"team","group_member":["1",2,"",3.5]}})";
    QTest::newRow("group, members as text")
        << R"({"group_id":"g","info":{"group_member":"1,,2,3"},"fromDetail":"nobody"})";
    QTest::newRow("group, repeated details")
        << R"({"group_id":"g","info":{"name":"a"},"info":{"name":"b"},"fromDetail":[]})";
}

void TestInboundJson::sameRecords()
{
    QFETCH(QString, payload);
    QJsonValue plain;
    QVERIFY(sio::PacketCodec::decodeValue(payload, &plain, nullptr));
    QVERIFY(plain.isObject());
    FastJson::Document fast;
    sio::PacketCodec::JsonBuffer buffer;
    QVERIFY(sio::PacketCodec::parseJson(payload, &fast, &buffer));

    qulonglong plainId = 1;
    qulonglong fastId = 2;
    QCOMPARE(fields(InboundJson::privateRecord(fast, &fastId)),
             fields(MessageJson::privateRecord(plain.toObject(), &plainId)));
    QCOMPARE(fastId, plainId);
    QCOMPARE(fields(InboundJson::groupRecord(fast, &fastId)),
             fields(MessageJson::groupRecord(plain.toObject(), &plainId)));
    QCOMPARE(fastId, plainId);
}

void TestInboundJson::repeatedKeys()
{
    // A repeated key keeps its last value, at any depth, and large objects are checked too.
    QJsonValue value;
    QVERIFY(sio::PacketCodec::decodeValue(
        QStringLiteral(R"(["e",{"a":[1],"b":{"c":[1],"c":2},"a":[2]}])"), &value, nullptr));
    const QJsonObject object = value.toArray().at(1).toObject();
    QCOMPARE(object.value(QLatin1String("a")).toArray(), QJsonArray{2});
    QCOMPARE(object.value(QLatin1String("b")).toObject().value(QLatin1String("c")).toInt(), 2);

    QString large = QStringLiteral("{");
    for (int i = 0; i < 100; ++i)
        large += QStringLiteral("\"k%1\":[%1],").arg(i);
    large += QStringLiteral("\"k7\":\"again\"}");
    QVERIFY(sio::PacketCodec::decodeValue(large, &value, nullptr));
    QCOMPARE(value.toObject().size(), 100);
    QCOMPARE(value.toObject().value(QLatin1String("k7")).toString(), QStringLiteral("again"));

    // The open packet reads the same way.
    sio::OpenInfo info;
    QVERIFY(sio::PacketCodec::decodeOpen(
        QStringLiteral(R"({"sid":"a","upgrades":[1],"upgrades":[],"pingInterval":300,)"
                       R"("pingInterval":400})"),
        &info, nullptr));
    QCOMPARE(info.sid, QStringLiteral("a"));
    QCOMPARE(info.pingInterval, 400);
}

void TestInboundJson::fastParserTakesOnlyValidText()
{
    // The fast parser reads the socket's UTF-16 as it is. A lone surrogate would reach a record
    // there, while the general path turns it into a replacement character: such text must go
    // the general path.
    FastJson::Document doc;
    sio::PacketCodec::JsonBuffer buffer;
    const QString pair = QStringLiteral(R"(["private message",{"msg":"a)") + QChar(0xd83d) +
                         QChar(0xde00) + QStringLiteral(R"("}])");
    QVERIFY(sio::PacketCodec::parseJson(pair, &doc, &buffer));
    QCOMPARE(JsonField::text(doc[1][u"msg"]), QStringLiteral("a\U0001F600"));
    for (const QChar lone : {QChar(0xd83d), QChar(0xde00)}) {
        const QString text =
            QStringLiteral(R"(["private message",{"msg":"a)") + lone + QStringLiteral(R"("}])");
        QVERIFY(!sio::PacketCodec::parseJson(text, &doc, &buffer));
    }

    // The body of a packet is read from its position to the end of the text, and what it holds
    // stays readable after the packet's text is gone. Escapes are taken in place.
    {
        QString packet = QStringLiteral(R"(42/client,["e",{"n":7,"s":"x\"y\u00e9z"}])");
        const int at = packet.indexOf(QLatin1Char('['));
        QVERIFY(!sio::PacketCodec::parseJson(packet, &doc, &buffer));
        QVERIFY(sio::PacketCodec::parseJson(QStringView(packet).mid(at), &doc, &buffer));
        packet.fill(QLatin1Char('#'));
    }
    QCOMPARE(JsonField::integer(doc[1][u"n"]), qint64(7));
    QCOMPARE(JsonField::text(doc[1][u"s"]), QStringLiteral("x\"y\u00e9z"));
    // A payload longer than the buffer's own room.
    const QString longText =
        QStringLiteral(R"(["e",")") + QString(5000, QLatin1Char('w')) + QStringLiteral(R"("])");
    QVERIFY(sio::PacketCodec::parseJson(longText, &doc, &buffer));
    QCOMPARE(JsonField::text(doc[1]), QString(5000, QLatin1Char('w')));
}

void TestInboundJson::repeatsAcrossEvents()
{
    // The fast reader shares a field's text with the previous event when it is sent again; a
    // changed, emptied, retyped or control-laden value must still read as its own.
    const QStringList payloads{
        R"({"creator":"10002","type":"user","msg_type":"text","haveread":"0","group_id":"g1"})",
        R"({"creator":"10002","type":"user","msg_type":"text","haveread":"0","group_id":"g1"})",
        R"({"creator":"10003","type":"use\u0001r","msg_type":"text","haveread":1,"group_id":"g1"})",
        R"({"creator":"10003","type":"use\u0001r","msg_type":"","haveread":"1","group_id":7})",
        R"({"creator":"10003\u0001","type":"user","msg_type":"","group_id":"7"})",
        R"({"creator":"10003","type":"use\u0001r","msg_type":"text"})",
        R"({"creator":"","type":"user"})",
    };
    for (int round = 0; round < 2; ++round) {
        for (const QString &payload : payloads) {
            QJsonValue plain;
            QVERIFY(sio::PacketCodec::decodeValue(payload, &plain, nullptr));
            FastJson::Document fast;
            sio::PacketCodec::JsonBuffer buffer;
            QVERIFY(sio::PacketCodec::parseJson(payload, &fast, &buffer));
            QCOMPARE(fields(InboundJson::groupRecord(fast)),
                     fields(MessageJson::groupRecord(plain.toObject())));
            QCOMPARE(fields(InboundJson::privateRecord(fast)),
                     fields(MessageJson::privateRecord(plain.toObject())));
        }
    }
}

QTEST_GUILESS_MAIN(TestInboundJson)
#include "tst_inboundjson.moc"
