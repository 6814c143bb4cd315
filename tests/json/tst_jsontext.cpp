#include "json/jsontext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

// The hand-written documents (directory cards, message rows) are parsed by the same readers as
// the writer's output, so every string must come out exactly as QJsonDocument writes it.
class TestJsonText : public QObject
{
    Q_OBJECT
private slots:
    void likeTheWriter_data();
    void likeTheWriter();
};

void TestJsonText::likeTheWriter_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("plain and wide") << QStringLiteral("张伟 abc");
    QTest::newRow("quotes and backslashes") << QStringLiteral("say \"hi\" \\ C:\\path/x");
    QString controls;
    for (ushort u = 0; u < 0x20; ++u)
        controls += QChar(u);
    QTest::newRow("every control character") << controls + QChar(0x7f);
    QTest::newRow("outside the basic plane") << QString::fromUtf8("😀 𠀋");
    QTest::newRow("unpaired surrogates")
        << (QString(QChar(0xd83d)) + QStringLiteral("x") + QChar(0xde00) + QChar(0xdbff));
    QTest::newRow("swapped pair") << (QString(QChar(0xde00)) + QChar(0xd83d));
}

void TestJsonText::likeTheWriter()
{
    QFETCH(QString, text);
    QString mine;
    JsonText::appendString(mine, text);
    // The writer's form of one string: the array's only member, without the brackets.
    const QByteArray written = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    QCOMPARE(mine, QString::fromUtf8(written.mid(1, written.size() - 2)));
    // And it reads back as the text.
    const QJsonDocument back = QJsonDocument::fromJson(('[' + mine + ']').toUtf8());
    QCOMPARE(back.array().at(0).toString(), text);
}

QTEST_GUILESS_MAIN(TestJsonText)
#include "tst_jsontext.moc"
