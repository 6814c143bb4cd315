#include "json/jsonfield.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

Q_DECLARE_METATYPE(QJsonValue)

// Every reply member in every subsystem goes through these readers, so each kind of value must
// read one way in all of them: the same id from sign-in, the directory and messaging must match.
class TestJsonField : public QObject
{
    Q_OBJECT
private slots:
    void everyKind_data();
    void everyKind();
    void controlsLeaveTextsButNotIds();
};

namespace {

// The member "v" of a parsed document, so the parser's own number handling is part of the case.
QJsonValue parsed(const char *json)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray("{\"v\":") + json + QByteArray("}"));
    return document.object().value(QLatin1String("v"));
}

} // namespace

void TestJsonField::everyKind_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<int>("small");
    const qint64 none = -7; // the fallback given to integer(), told apart from a read 0
    const QString empty;

    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << empty << empty << none << -7;
    QTest::newRow("null") << parsed("null") << empty << empty << none << -7;
    QTest::newRow("true") << parsed("true") << empty << empty << none << -7;
    QTest::newRow("array") << parsed("[1]") << empty << empty << none << -7;
    QTest::newRow("object") << parsed("{\"a\":1}") << empty << empty << none << -7;

    QTest::newRow("string") << parsed("\"10002\"") << "10002"
                            << "10002" << none << -7;
    QTest::newRow("empty string") << parsed("\"\"") << empty << empty << none << -7;
    QTest::newRow("string with blanks") << parsed("\" 7 \"") << " 7 "
                                        << " 7 " << none << -7;

    QTest::newRow("zero") << parsed("0") << "0"
                          << "0" << qint64(0) << 0;
    QTest::newRow("negative zero") << parsed("-0.0") << "0"
                                   << "0" << qint64(0) << 0;
    QTest::newRow("negative") << parsed("-42") << "-42"
                              << "-42" << qint64(-42) << -42;
    QTest::newRow("integral with fraction digits") << parsed("7.0") << "7"
                                                   << "7" << qint64(7) << 7;
    QTest::newRow("timestamp") << parsed("1700000000123") << "1700000000123"
                               << "1700000000123" << qint64(1700000000123) << -7;
    QTest::newRow("exponent") << parsed("1e16") << "10000000000000000"
                              << "10000000000000000" << qint64(10000000000000000) << -7;
    QTest::newRow("exponent built in code")
        << QJsonValue(1e16) << "10000000000000000"
        << "10000000000000000" << qint64(10000000000000000) << -7;
    QTest::newRow("beyond 2^53, kept exact by the parser")
        << parsed("9007199254740993") << "9007199254740993"
        << "9007199254740993" << qint64(9007199254740993) << -7;
    QTest::newRow("smallest 64-bit")
        << parsed("-9223372036854775808") << "-9223372036854775808"
        << "-9223372036854775808" << std::numeric_limits<qint64>::min() << -7;
    QTest::newRow("int limits") << parsed("2147483647") << "2147483647"
                                << "2147483647" << qint64(2147483647) << 2147483647;
    QTest::newRow("just beyond int") << parsed("2147483648") << "2147483648"
                                     << "2147483648" << qint64(2147483648) << -7;

    QTest::newRow("fraction") << parsed("1.5") << empty << empty << none << -7;
    QTest::newRow("tiny fraction") << parsed("1e-300") << empty << empty << none << -7;
    QTest::newRow("beyond 64 bits")
        << parsed("18446744073709551615") << empty << empty << none << -7;
    QTest::newRow("huge") << parsed("1e300") << empty << empty << none << -7;
    QTest::newRow("huge negative") << parsed("-1e300") << empty << empty << none << -7;
    QTest::newRow("2^63 built in code")
        << QJsonValue(9223372036854775808.0) << empty << empty << none << -7;
}

void TestJsonField::everyKind()
{
    QFETCH(QJsonValue, value);
    QFETCH(QString, text);
    QFETCH(QString, id);
    QFETCH(qint64, integer);
    QFETCH(int, small);
    QCOMPARE(JsonField::text(value), text);
    QCOMPARE(JsonField::id(value), id);
    QCOMPARE(JsonField::integer(value, -7), integer);
    QCOMPARE(JsonField::smallInteger(value, -7), small);
    // The decimal text of an integer member holds no fallback of its own: "0" when unreadable.
    QCOMPARE(JsonField::integerText(value),
             integer == -7 ? QStringLiteral("0") : QString::number(integer));
}

void TestJsonField::controlsLeaveTextsButNotIds()
{
    // Every C0 control, DEL and the C1 range, around a tab and a line feed that stay.
    QString raw = QStringLiteral("a");
    for (ushort u = 0; u < 0x20; ++u)
        raw += QChar(u);
    for (ushort u = 0x7f; u <= 0xa0; ++u)
        raw += QChar(u);
    raw += QStringLiteral("b\u200b张");
    const QJsonValue value =
        QJsonDocument(QJsonArray{raw}).array().first(); // through the writer and back as a value
    QCOMPARE(JsonField::text(value), QStringLiteral("a\t\n\u00a0b\u200b张"));
    // An id is a key: "a\u0001" and "a" are different users, and stored ids must still match.
    QCOMPARE(JsonField::id(value), raw);

    // A text without controls comes back as the same shared string, not a copy.
    const QString plain = QStringLiteral("plain 文本");
    QCOMPARE(JsonField::withoutControls(plain).constData(), plain.constData());
    QCOMPARE(JsonField::withoutControls(QString(QChar(0x1b))), QString());
}

QTEST_GUILESS_MAIN(TestJsonField)
#include "tst_jsonfield.moc"
