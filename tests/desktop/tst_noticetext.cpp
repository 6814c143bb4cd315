#include "desktop/noticetext.h"
#include "testenvironment.h"

#include <QtTest>

class TestNoticeText : public QObject
{
    Q_OBJECT
private slots:
    void reducesToPlainText_data();
    void reducesToPlainText();
    void cutsLongTextWhole();
};

void TestNoticeText::reducesToPlainText_data()
{
    QTest::addColumn<QString>("msg");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("expected");
    QTest::newRow("picture message") << "x.png"
                                     << "img"
                                     << "[图片]";
    QTest::newRow("file message") << "{\"name\":\"a.docx\"}"
                                  << "file"
                                  << "[文件]";
    QTest::newRow("tags and entities") << "<p><b>hi</b>&nbsp;&amp; &lt;you&gt;</p>"
                                       << "text"
                                       << "hi & <you>";
    QTest::newRow("line breaks and spaces") << "one<br/>two<br>  three\n\tfour"
                                            << "text"
                                            << "one two three four";
    QTest::newRow("emoticons and inline image")
        << "a<i class=\"emoji-smile\"></i>b<img src=\"file:///x/emojis/1.png\" />c<img "
           "src=\"http://s/p.png\">"
        << "text"
        << "a[表情]b[表情]c[图片]";
    QTest::newRow("markup the client does not write") << "<script>x()</script><p style=\"a\">b</p>"
                                                      << "text"
                                                      << "<script>x()</script><p style=\"a\">b";
    QTest::newRow("numeric entity") << "&#20320;&#x597D;"
                                    << "text"
                                    << "你好";
}

void TestNoticeText::reducesToPlainText()
{
    QFETCH(QString, msg);
    QFETCH(QString, type);
    QFETCH(QString, expected);
    QCOMPARE(NoticeText::preview(msg, type), expected);
}

void TestNoticeText::cutsLongTextWhole()
{
    const QString longText(300, QLatin1Char('x'));
    const QString cut = NoticeText::preview(longText, QStringLiteral("text"));
    QCOMPARE(cut.size(), NoticeText::maxLength + 1);
    QVERIFY(cut.endsWith(QStringLiteral("…")));

    // A character outside the basic plane across the limit is left out whole.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString text = QString(NoticeText::maxLength - 1, QLatin1Char('y')) + emoji + "tail";
    const QString shortened = NoticeText::preview(text, QStringLiteral("text"));
    QVERIFY(!shortened.contains(QChar(emoji.at(0))));
    QCOMPARE(shortened.size(), NoticeText::maxLength);
}

TARNEX_TEST_MAIN(TestNoticeText)
#include "tst_noticetext.moc"
