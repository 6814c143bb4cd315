// The packet codec and the connection URL: pure functions, table-driven.

#include "sio/engineurl.h"
#include "sio/packetcodec.h"
#include "testenvironment.h"
#include "tsansuppressions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QUrlQuery>

using sio::Packet;
using sio::PacketCodec;
using sio::PacketType;

Q_DECLARE_METATYPE(sio::PacketType)

namespace {

QJsonValue json(const char *text)
{
    QJsonValue value;
    PacketCodec::decodeValue(QString::fromUtf8(text), &value, nullptr);
    return value;
}

} // namespace

class TestSioPacket : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodeValid_data();
    void decodeValid();
    void decodeInvalid_data();
    void decodeInvalid();
    void encode_data();
    void encode();
    void encodeEvent();
    void engineFrames();
    void controlCharacters();
    void openPacket_data();
    void openPacket();
    void utf8Length_data();
    void utf8Length();
    void url_data();
    void url();
};

void TestSioPacket::decodeValid_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<PacketType>("type");
    QTest::addColumn<QString>("nsp");
    QTest::addColumn<qint64>("ackId");
    QTest::addColumn<QString>("data"); // compact JSON; empty: no body

    QTest::newRow("connect root") << "0" << PacketType::Connect << "/" << qint64(-1) << "";
    QTest::newRow("connect reply v5") << "0/client,{\"sid\":\"abc\"}" << PacketType::Connect
                                      << "/client" << qint64(-1) << "{\"sid\":\"abc\"}";
    QTest::newRow("connect reply v4")
        << "0/client," << PacketType::Connect << "/client" << qint64(-1) << "";
    QTest::newRow("namespace without comma")
        << "1/client" << PacketType::Disconnect << "/client" << qint64(-1) << "";
    QTest::newRow("event") << "2/client,[\"hi\",1]" << PacketType::Event << "/client" << qint64(-1)
                           << "[\"hi\",1]";
    QTest::newRow("event with ack id")
        << "2/client,42[\"hi\"]" << PacketType::Event << "/client" << qint64(42) << "[\"hi\"]";
    QTest::newRow("event on root with ack id")
        << "27[\"x\",{\"a\":[]}]" << PacketType::Event << "/" << qint64(7) << "[\"x\",{\"a\":[]}]";
    QTest::newRow("ack empty") << "3/client,0[]" << PacketType::Ack << "/client" << qint64(0)
                               << "[]";
    QTest::newRow("ack id at the range limit")
        << "39007199254740991[]" << PacketType::Ack << "/" << qint64(9007199254740991LL) << "[]";
    QTest::newRow("connect error v5")
        << "4/nope,{\"message\":\"Invalid namespace\"}" << PacketType::ConnectError << "/nope"
        << qint64(-1) << "{\"message\":\"Invalid namespace\"}";
    QTest::newRow("connect error v4 string")
        << "4/nope,\"Invalid namespace\"" << PacketType::ConnectError << "/nope" << qint64(-1)
        << "\"Invalid namespace\"";
    QTest::newRow("connect error with a number body")
        << "4/nope,404" << PacketType::ConnectError << "/nope" << qint64(-1) << "404";
    QTest::newRow("escaped surrogate pair")
        << "2[\"e\",\"\\ud83d\\ude00\\u4e2d\"]" << PacketType::Event << "/" << qint64(-1)
        << "[\"e\",\"😀中\"]";
    QTest::newRow("raw utf-8") << "2/client,[\"聊天\",\"👍🏽\"]" << PacketType::Event
                               << "/client" << qint64(-1) << "[\"聊天\",\"👍🏽\"]";
    QTest::newRow("binary event") << "51-/client,[\"b\",{\"_placeholder\":true,\"num\":0}]"
                                  << PacketType::BinaryEvent << "/client" << qint64(-1)
                                  << "[\"b\",{\"_placeholder\":true,\"num\":0}]";
}

void TestSioPacket::decodeValid()
{
    QFETCH(QString, text);
    QFETCH(PacketType, type);
    QFETCH(QString, nsp);
    QFETCH(qint64, ackId);
    QFETCH(QString, data);
    Packet packet;
    QString error;
    QVERIFY2(PacketCodec::decodePacket(text, &packet, &error), qPrintable(error));
    QCOMPARE(packet.type, type);
    QCOMPARE(packet.nsp, nsp);
    QCOMPARE(packet.ackId, ackId);
    if (data.isEmpty())
        QVERIFY(packet.data.isUndefined());
    else
        QCOMPARE(packet.data, json(data.toUtf8().constData()));
}

void TestSioPacket::decodeInvalid_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << "";
    QTest::newRow("unknown type") << "9/client,[\"x\"]";
    QTest::newRow("letter type") << "x";
    QTest::newRow("letters where the ack id goes") << "2abc[\"x\"]";
    QTest::newRow("letters after the ack id") << "2/client,12abc[\"x\"]";
    QTest::newRow("ack id overflow") << "3/client,99999999999999999999[]";
    QTest::newRow("ack id just past the limit") << "39007199254740992[]";
    QTest::newRow("truncated json") << "2/client,[\"x\"";
    QTest::newRow("two values") << "2/client,[\"x\"],[1]";
    QTest::newRow("bracket injection") << "2/client,1],[2";
    QTest::newRow("event not an array") << "2/client,{\"a\":1}";
    QTest::newRow("event empty array") << "2/client,[]";
    QTest::newRow("event name not a string") << "2/client,[1,2]";
    QTest::newRow("event without body") << "2/client,";
    QTest::newRow("ack without id") << "3/client,[]";
    QTest::newRow("ack body not an array") << "3/client,5{}";
    QTest::newRow("connect body not an object") << "0/client,[1]";
    QTest::newRow("binary without dash") << "51/client,[\"b\"]";
    QTest::newRow("binary without count") << "5-/client,[\"b\"]";
    QTest::newRow("non-ascii digit as ack id") << "2/client,\u0661[\"x\"]";
}

void TestSioPacket::decodeInvalid()
{
    QFETCH(QString, text);
    Packet packet;
    QString error;
    QVERIFY(!PacketCodec::decodePacket(text, &packet, &error));
    QVERIFY(!error.isEmpty());
}

void TestSioPacket::encode_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("nsp");
    QTest::addColumn<qint64>("ackId");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("expected");

    QTest::newRow("join root") << int(PacketType::Connect) << "/" << qint64(-1) << ""
                               << "0";
    QTest::newRow("join namespace") << int(PacketType::Connect) << "/client" << qint64(-1) << ""
                                    << "0/client,";
    QTest::newRow("leave namespace") << int(PacketType::Disconnect) << "/client" << qint64(-1) << ""
                                     << "1/client,";
    QTest::newRow("event with ack")
        << int(PacketType::Event) << "/client" << qint64(7) << "[\"send message\",{\"to\":\"u2\"}]"
        << "2/client,7[\"send message\",{\"to\":\"u2\"}]";
    QTest::newRow("ack answer") << int(PacketType::Ack) << "/client" << qint64(0) << "[]"
                                << "3/client,0[]";
    QTest::newRow("utf-8 stays raw")
        << int(PacketType::Event) << "/" << qint64(-1) << "[\"文\",\"🎉\"]"
        << "2[\"文\",\"🎉\"]";
}

void TestSioPacket::encode()
{
    QFETCH(int, type);
    QFETCH(QString, nsp);
    QFETCH(qint64, ackId);
    QFETCH(QString, data);
    QFETCH(QString, expected);
    Packet packet;
    packet.type = PacketType(type);
    packet.nsp = nsp;
    packet.ackId = ackId;
    if (!data.isEmpty())
        packet.data = json(data.toUtf8().constData());
    const QString text = PacketCodec::encodePacket(packet);
    QCOMPARE(text, expected);
    // And back.
    Packet decoded;
    QVERIFY(PacketCodec::decodePacket(text, &decoded, nullptr));
    QCOMPARE(decoded.nsp, packet.nsp);
    QCOMPARE(decoded.ackId, packet.ackId);
    QCOMPARE(decoded.data, packet.data);
}

// The event body is written without Qt's writer, and must come out as it would: the same text
// for escapes, halves of surrogate pairs, numbers of every kind and nested values.
void TestSioPacket::encodeEvent()
{
    const QString loneHigh(QChar(0xd83c));
    const QString loneLow(QChar(0xdf89));
    const QJsonArray args{
        QStringLiteral("quote \" backslash \\ slash / tab \t nl \n cr \r bs \b ff \f"),
        QString(QChar(1)) + QChar(0x1f) + QChar(0x7f) + QStringLiteral("文🎉"),
        loneHigh + QStringLiteral("x") + loneLow + QStringLiteral("🎉") + loneHigh,
        0,
        -0.0,
        42,
        -17,
        1.5,
        1e300,
        9007199254740991.0,
        9007199254740993.0,
        -1e-7,
        qint64(1) << 60,
        true,
        false,
        QJsonValue(),
        QJsonValue(QJsonValue::Undefined),
        QJsonArray{1, QJsonArray{}, QJsonObject{}},
        QJsonObject{{QStringLiteral("b\""), 2}, {QStringLiteral("a"), QJsonObject{{"x", "y"}}}},
        QString(),
        QStringLiteral(""),
    };
    for (const QString &event :
         {QStringLiteral("send message"), QStringLiteral("é\"\n"), loneLow, QString()}) {
        QJsonArray body{event};
        for (const QJsonValue &arg : args)
            body.append(arg);
        QCOMPARE(PacketCodec::encodeEvent(event, args), PacketCodec::encodeValue(body));
    }
    QCOMPARE(PacketCodec::encodeEvent(QStringLiteral("e"), {}), QStringLiteral("[\"e\"]"));
}

void TestSioPacket::engineFrames()
{
    sio::EnginePacket packet;
    QVERIFY(PacketCodec::decodeEngine(QStringLiteral("42/client,[\"x\"]"), &packet, nullptr));
    QCOMPARE(packet.type, sio::EngineType::Message);
    QCOMPARE(packet.data, QStringLiteral("2/client,[\"x\"]"));
    QVERIFY(PacketCodec::decodeEngine(QStringLiteral("2"), &packet, nullptr));
    QCOMPARE(packet.type, sio::EngineType::Ping);
    QVERIFY(packet.data.isEmpty());
    QString error;
    QVERIFY(!PacketCodec::decodeEngine(QString(), &packet, &error));
    QVERIFY(!PacketCodec::decodeEngine(QStringLiteral("7"), &packet, &error));
    QVERIFY(!PacketCodec::decodeEngine(QStringLiteral("b4AAAA"), &packet, &error));
    QCOMPARE(PacketCodec::encodeEngine(sio::EngineType::Pong), QStringLiteral("3"));
}

// Raw control characters are not JSON; taken as they are, a raw NUL merged distinct keys and the
// re-encoded packet no longer matched what arrived. Escaped, the same keys stay apart.
void TestSioPacket::controlCharacters()
{
    Packet packet;
    QString error;
    const auto nul = [](QString text) { return text.replace(QLatin1Char('~'), QChar(0)); };
    const QString rawNul = nul(QStringLiteral("2[\"e\",{\"a~x\":1,\"a~y\":2}]"));
    QVERIFY(!PacketCodec::decodePacket(rawNul, &packet, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!PacketCodec::decodePacket(QStringLiteral("2[\"e\u0001\"]"), &packet, &error));
    sio::OpenInfo info;
    QVERIFY(!PacketCodec::decodeOpen(nul(QStringLiteral("{\"sid\":\"a~b\"}")), &info, &error));

    const QString escaped = QStringLiteral("2[\"e\",{\"a\\u0000x\":1,\"a\\u0000y\":2}]");
    QVERIFY(PacketCodec::decodePacket(escaped, &packet, &error));
    QCOMPARE(packet.data.toArray().at(1).toObject().size(), 2);
    const QString once = PacketCodec::encodePacket(packet);
    Packet again;
    QVERIFY(PacketCodec::decodePacket(once, &again, &error));
    QCOMPARE(PacketCodec::encodePacket(again), once);

    // Whitespace between tokens is still whitespace.
    QVERIFY(
        PacketCodec::decodePacket(QStringLiteral("2[\"e\",\n\t{\"a\":1}\r\n]"), &packet, &error));
}

void TestSioPacket::openPacket_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("pingInterval");
    QTest::addColumn<int>("pingTimeout");
    QTest::addColumn<qint64>("maxPayload");

    QTest::newRow("socket.io 4") << "{\"sid\":\"s\",\"upgrades\":[],\"pingInterval\":300,"
                                    "\"pingTimeout\":200,\"maxPayload\":1000000}"
                                 << true << 300 << 200 << qint64(1000000);
    QTest::newRow("socket.io 2 (no maxPayload)")
        << "{\"sid\":\"s\",\"upgrades\":[],\"pingInterval\":25000,\"pingTimeout\":5000}" << true
        << 25000 << 5000 << qint64(1000000);
    QTest::newRow("fields missing") << "{}" << true << 25000 << 20000 << qint64(1000000);
    QTest::newRow("wrong types and extras")
        << "{\"pingInterval\":\"300\",\"pingTimeout\":null,\"x\":[1]}" << true << 25000 << 20000
        << qint64(1000000);
    QTest::newRow("zero and negative") << "{\"pingInterval\":0,\"pingTimeout\":-5,\"maxPayload\":0}"
                                       << true << 25000 << 20000 << qint64(1000000);
    // Their sum must still fit a QTimer.
    QTest::newRow("absurdly large") << "{\"pingInterval\":1e300,\"pingTimeout\":4000000000}" << true
                                    << 86400000 << 86400000 << qint64(1000000);
    QTest::newRow("not an object") << "[1]" << false << 0 << 0 << qint64(0);
    QTest::newRow("not json") << "sid=1" << false << 0 << 0 << qint64(0);
}

void TestSioPacket::openPacket()
{
    QFETCH(QString, data);
    QFETCH(bool, ok);
    sio::OpenInfo info;
    QCOMPARE(PacketCodec::decodeOpen(data, &info, nullptr), ok);
    if (!ok)
        return;
    QFETCH(int, pingInterval);
    QFETCH(int, pingTimeout);
    QFETCH(qint64, maxPayload);
    QCOMPARE(info.pingInterval, pingInterval);
    QCOMPARE(info.pingTimeout, pingTimeout);
    QCOMPARE(info.maxPayload, maxPayload);
}

void TestSioPacket::utf8Length_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << "42/client,[\"a\"]";
    QTest::newRow("two-byte") << "é ß";
    QTest::newRow("chinese") << "中文消息";
    QTest::newRow("emoji and modifiers") << "👍🏽🎉😀";
    QTest::newRow("mixed") << "a中😀é";
}

void TestSioPacket::utf8Length()
{
    QFETCH(QString, text);
    QCOMPARE(PacketCodec::utf8Length(text), qint64(text.toUtf8().size()));
}

void TestSioPacket::url_data()
{
    QTest::addColumn<QUrl>("base");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("expectedPrefix");
    QTest::addColumn<QString>("serverKey");

    QTest::newRow("ws") << QUrl(QStringLiteral("ws://10.1.2.3:3000")) << 4
                        << "ws://10.1.2.3:3000/socket.io/?EIO=4&transport=websocket"
                        << "ws://10.1.2.3:3000";
    QTest::newRow("http maps to ws, default port")
        << QUrl(QStringLiteral("http://Chat.Example")) << 3
        << "ws://chat.example/socket.io/?EIO=3&transport=websocket"
        << "ws://chat.example:80";
    QTest::newRow("https maps to wss") << QUrl(QStringLiteral("https://h:8443/")) << 4
                                       << "wss://h:8443/socket.io/?EIO=4&transport=websocket"
                                       << "wss://h:8443";
    QTest::newRow("explicit path") << QUrl(QStringLiteral("ws://h:1/im/socket.io")) << 4
                                   << "ws://h:1/im/socket.io/?EIO=4&transport=websocket"
                                   << "ws://h:1";
}

void TestSioPacket::url()
{
    QFETCH(QUrl, base);
    QFETCH(int, version);
    QFETCH(QString, expectedPrefix);
    QFETCH(QString, serverKey);

    QMap<QString, QString> query;
    query.insert(QStringLiteral("loginUserId"), QStringLiteral("张三&x=1 +%"));
    query.insert(QStringLiteral("loginDeptId"), QStringLiteral("研发/测试?#"));
    query.insert(QStringLiteral("EIO"), QStringLiteral("9"));
    query.insert(QStringLiteral("sid"), QStringLiteral("stale"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("\"EIO\" is reserved")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("\"sid\" is reserved")));
    const QUrl url = sio::EngineUrl::build(base, version, query);
    const QString text = url.toString(QUrl::FullyEncoded);
    QVERIFY2(text.startsWith(expectedPrefix), qPrintable(text));
    QCOMPARE(sio::EngineUrl::serverKey(base), serverKey);

    // What a server's query parser makes of it: the values intact, the reserved keys ours.
    const QUrlQuery parsed(url.query(QUrl::FullyEncoded));
    QCOMPARE(parsed.queryItemValue(QStringLiteral("loginUserId"), QUrl::FullyDecoded),
             QStringLiteral("张三&x=1 +%"));
    QCOMPARE(parsed.queryItemValue(QStringLiteral("loginDeptId"), QUrl::FullyDecoded),
             QStringLiteral("研发/测试?#"));
    QCOMPARE(parsed.allQueryItemValues(QStringLiteral("EIO")),
             QStringList{QString::number(version)});
    QVERIFY(!parsed.hasQueryItem(QStringLiteral("sid")));
    QVERIFY(!text.contains(QLatin1Char('+')));
}

TARNEX_TEST_MAIN(TestSioPacket)
#include "tst_siopacket.moc"
