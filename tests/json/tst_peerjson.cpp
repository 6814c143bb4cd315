#include "net/replyenvelope.h"
#include "sio/packetcodec.h"
#include "json/jsonscan.h"
#include "json/peerjson.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

#include <malloc.h>

Q_DECLARE_METATYPE(JsonScan::Verdict)

// Text from peers reaches Qt's parser only when the quick pass finds nothing it mishandles;
// everything else is read by the other parser or refused.
class TestPeerJson : public QObject
{
    Q_OBJECT
private slots:
    void verdict_data();
    void verdict();
    void readsLikeJavaScript();
    void repliesKeepBadNames();
    void repeatedKeysLeaveNothingBehind();
    void deepNestingRefusedByEveryReader_data();
    void deepNestingRefusedByEveryReader();
};

void TestPeerJson::verdict_data()
{
    using V = JsonScan::Verdict;
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<V>("expected");

    QTest::newRow("flat") << QByteArray(R"({"a":1,"b":"a"})") << V::Plain;
    QTest::newRow("same key in sibling objects")
        << QByteArray(R"([{"a":1},{"a":2},{"b":{"a":3}}])") << V::Plain;
    QTest::newRow("key text as a value") << QByteArray(R"({"a":"a","b":["a","a"]})") << V::Plain;
    QTest::newRow("quote and backslash in values")
        << QByteArray(R"({"a":"x\"y","b":"\\","c":1})") << V::Plain;
    QTest::newRow("whitespace controls")
        << QByteArray("{\"a\":\t1,\r\n\"b\":\"x\ty\"}") << V::Plain;
    QTest::newRow("repeat at the top") << QByteArray(R"({"a":1,"b":2,"a":3})") << V::Repeats;
    QTest::newRow("repeat after a nested object")
        << QByteArray(R"({"a":{"a":1,"b":2},"a":[]})") << V::Repeats;
    QTest::newRow("repeat deep in an array")
        << QByteArray(R"(["e",[{"x":1}],{"y":{"z":1,"z":2}}])") << V::Repeats;
    QByteArray large = "{";
    for (int i = 0; i < 200; ++i)
        large += "\"k" + QByteArray::number(i) + "\":{\"k\":" + QByteArray::number(i) + "},";
    QTest::newRow("large object, no repeat") << QByteArray(large + "\"end\":1}") << V::Plain;
    QTest::newRow("large object, repeat") << QByteArray(large + "\"k150\":1}") << V::Repeats;
    QTest::newRow("escaped key") << QByteArray(R"({"a":1,"\u0061":2})") << V::Unsure;
    QTest::newRow("unbalanced") << QByteArray(R"(1],[2)") << V::Unsure;
    QTest::newRow("unterminated string") << QByteArray(R"(["abc)") << V::Unsure;
    QTest::newRow("raw NUL in a key") << QByteArray("{\"a\0x\":1}", 9) << V::RawControl;
    QTest::newRow("raw control in a value") << QByteArray("[\"e\x01\"]") << V::RawControl;
    QTest::newRow("raw control between tokens") << QByteArray("[1,\x02 2]") << V::RawControl;
}

void TestPeerJson::verdict()
{
    QFETCH(QByteArray, text);
    QFETCH(JsonScan::Verdict, expected);
    QCOMPARE(JsonScan::scan(text.constData(), text.size()), expected);
}

void TestPeerJson::readsLikeJavaScript()
{
    QJsonValue value;
    // Escaped spellings of one key are one key; the last value wins.
    QVERIFY(PeerJson::parse(R"({"a":1,"\u0061":[2]})", &value));
    QCOMPARE(value.toObject().size(), 1);
    QCOMPARE(value.toObject().value(QLatin1String("a")).toArray(), QJsonArray{2});

    QVERIFY(PeerJson::parse("\"x\"", &value));
    QCOMPARE(value.toString(), QStringLiteral("x"));
    QVERIFY(PeerJson::parse("12.5", &value));
    QCOMPARE(value.toDouble(), 12.5);

    // An escaped half of a surrogate pair alone, as the fast parser reads it.
    FastJson::Document doc;
    sio::PacketCodec::JsonBuffer buffer;
    QVERIFY(sio::PacketCodec::parseJson(uR"(["e","\ude00x"])", &doc, &buffer));
    QCOMPARE(PeerJson::fromRapid(doc).toArray().at(1).toString(), QStringLiteral("\ufffdx"));

    const QByteArray refused[] = {
        "", "1,2", "[1]]", R"({"a":1,"a":)", "[\"\x01\"]", R"(1],[2)", "{\"a\":1,\"a\":2} x"};
    for (const QByteArray &text : refused)
        QVERIFY2(!PeerJson::parse(text, &value), text.constData());
}

void TestPeerJson::repliesKeepBadNames()
{
    // A server that writes one name with a raw control character still has its reply read; the
    // readers drop the character from the text.
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(
        "{\"status\":1,\"data\":{\"name\":\"\xe7\x8e\x8b\x01\xe8\x8a\xb3\",\"k\":1,\"k\":2}}");
    QVERIFY(envelope.success());
    QCOMPARE(envelope.dataObject().value(QLatin1String("name")).toString(),
             QString::fromUtf8("王\x01芳"));
    QCOMPARE(envelope.dataObject().value(QLatin1String("k")).toInt(), 2);
    // Outside a string the character is no JSON: nothing is answered.
    QVERIFY(!ReplyEnvelope::fromBody("{\"status\":1,\x01\"data\":1}").answered());
}

// Qt's parser alone keeps about 80 bytes of every such reply or frame for good.
void TestPeerJson::repeatedKeysLeaveNothingBehind()
{
    const QByteArray reply = R"({"status":1,"data":{"list":[1],"list":[2]},"data":{"a":[3]}})";
    const QString frame = QStringLiteral(R"(["e",{"recipients":["1"],"recipients":["2"]}])");
    const auto heap = [] { return qint64(mallinfo2().uordblks); };
    const auto readBoth = [&] {
        QJsonValue value;
        QVERIFY(ReplyEnvelope::fromBody(reply).success());
        QVERIFY(sio::PacketCodec::decodeValue(frame, &value, nullptr));
    };
    readBoth(); // first-use allocations of Qt and the parsers
    const qint64 before = heap();
    for (int i = 0; i < 10000; ++i)
        readBoth();
    // Under a sanitizer's allocator the figure stays 0 and the leak check reports instead.
    QVERIFY2(heap() - before < 64 * 1024, qPrintable(QString::number(heap() - before)));
}

void TestPeerJson::deepNestingRefusedByEveryReader_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("readable");
    const auto arrays = [](int depth) {
        return QByteArray(depth, '[') + "1" + QByteArray(depth, ']');
    };
    QByteArray objects;
    for (int i = 0; i < JsonDepth::limit; ++i)
        objects += "{\"a\":";
    objects += "1" + QByteArray(JsonDepth::limit, '}');
    const QByteArray deep = arrays(300000);

    QTest::newRow("arrays at the limit") << arrays(JsonDepth::limit) << true;
    QTest::newRow("objects at the limit") << objects << true;
    QTest::newRow("one level past") << arrays(JsonDepth::limit + 1) << false;
    QTest::newRow("300,000 levels") << deep << false;
    QTest::newRow("300,000 opened, never closed") << QByteArray(300000, '[') << false;
    // Each of these sends the quick pass's verdict early, so the other parsers meet the depth.
    QTest::newRow("behind an escaped key") << "{\"\\u0061\":" + deep + "}" << false;
    QTest::newRow("behind a repeated key") << "{\"a\":1,\"a\":" + deep + "}" << false;
    QTest::newRow("behind a raw control") << "[\"\x01\"," + deep + "]" << false;
}

void TestPeerJson::deepNestingRefusedByEveryReader()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, readable);
    const auto refusal = [&] {
        if (!readable)
            QTest::ignoreMessage(QtWarningMsg, "refused JSON nested deeper than 128 levels");
    };
    const bool rawControl = text.contains('\x01');
    QJsonValue value;
    refusal();
    QCOMPARE(PeerJson::parseEscapingControls(text, &value), readable);
    if (!rawControl)
        refusal();
    QCOMPARE(PeerJson::parse(text, &value), readable);
    QString error;
    const QString frame = QString::fromUtf8(text);
    QCOMPARE(sio::PacketCodec::decodeValue(frame, &value, &error), readable);
    if (!readable && !rawControl)
        QCOMPARE(error, sio::PacketCodec::tooDeep());

    FastJson::Document doc;
    sio::PacketCodec::JsonBuffer buffer;
    QCOMPARE(sio::PacketCodec::parseJson(frame, &doc, &buffer), readable);
    if (readable) {
        QVERIFY(PeerJson::parse(text, &value));
        QCOMPARE(PeerJson::fromRapid(doc), value);
    }
}

QTEST_GUILESS_MAIN(TestPeerJson)
#include "tst_peerjson.moc"
