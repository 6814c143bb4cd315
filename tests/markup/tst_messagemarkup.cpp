#include "markup/messagemarkup.h"
#include "testenvironment.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

namespace {

const MarkupPolicy kPolicy{QStringLiteral("/opt/tarnex/emojis"),
                           QUrl(QStringLiteral("http://oa.example.com:8080"))};
const QString kAttachment = QStringLiteral(
    "http://oa.example.com:8080/tarnex10/server/public/api/attachment/index/9?api_token=t");

} // namespace

class TestMessageMarkup : public QObject
{
    Q_OBJECT
private slots:
    void sanitise_data();
    void sanitise();
    void boundsNesting();
    void ownMarkupReadsAsTheParser_data();
    void ownMarkupReadsAsTheParser();
};

void TestMessageMarkup::sanitise_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    // What the client's own editor and the web client write is kept.
    QTest::newRow("text and entities") << "a &amp; b &lt;c&gt; 你"
                                       << "a &amp; b &lt;c&gt; 你";
    QTest::newRow("breaks, paragraphs, emphasis")
        << "<p>a<br />b</p><div><B>c</B><i>d</i><u>e</u><strong>f</strong><em>g</em></div>"
        << "<p>a<br />b</p><div><b>c</b><i>d</i><u>e</u><strong>f</strong><em>g</em></div>";
    QTest::newRow("unclosed emphasis") << "<b>x"
                                       << "<b>x</b>";
    QTest::newRow("own emoticon")
        << R"(<img src="file:////opt/tarnex/emojis/smile.png" height="14" width="14" />)"
        << R"(<img src="file:///opt/tarnex/emojis/smile.png" height="14" width="14" />)";
    QTest::newRow("own attachment in its link")
        << QString(R"(<a href="%1"><img src="%1" width="300" /></a>)").arg(kAttachment)
        << QString(R"(<a href="%1"><img src="%1" width="300" /></a>)").arg(kAttachment);
    QTest::newRow("web link") << R"(<a href="https://example.org/a?b=1&amp;c=2">x</a>)"
                              << R"(<a href="https://example.org/a?b=1&amp;c=2">x</a>)";
    // Everything else is shown as the characters the sender typed.
    QTest::newRow("foreign picture")
        << R"(Hi <img src="http://other-host/track.png?reader=X">)"
        << "Hi &lt;img src=&quot;http://other-host/track.png?reader=X&quot;&gt;";
    QTest::newRow("own server, not an attachment")
        << R"(<img src="http://oa.example.com:8080/x.png">)"
        << "&lt;img src=&quot;http://oa.example.com:8080/x.png&quot;&gt;";
    QTest::newRow("attachment of another port")
        << R"(<img src="http://oa.example.com/api/attachment/index/9">)"
        << "&lt;img src=&quot;http://oa.example.com/api/attachment/index/9&quot;&gt;";
    QTest::newRow("emoticon without a name") << R"(<img src="file:///opt/tarnex/emojis/.png">)"
                                             << "&lt;img src=&quot;file:///opt/tarnex/emojis/"
                                                ".png&quot;&gt;";
    QTest::newRow("emoticon folder left") << R"(<img src="file:///opt/tarnex/emojis/../k.png">)"
                                          << "&lt;img src=&quot;file:///opt/tarnex/emojis/../"
                                             "k.png&quot;&gt;";
    QTest::newRow("picture on a share") << R"(<img src="file://host/share/x.png">)"
                                        << "&lt;img src=&quot;file://host/share/x.png&quot;&gt;";
    QTest::newRow("emoticon with a style")
        << R"(<img src="file:///opt/tarnex/emojis/a.png" style="x">)"
        << "&lt;img src=&quot;file:///opt/tarnex/emojis/a.png&quot; style=&quot;x&quot;&gt;";
    QTest::newRow("file link") << R"(<a href="file:///C:/Windows/System32/cmd.exe">report</a>)"
                               << "&lt;a href=&quot;file:///C:/Windows/System32/cmd.exe&quot;&gt;"
                                  "report&lt;/a&gt;";
    QTest::newRow("script link") << R"x(<a href="javascript:alert(1)">x</a>)x"
                                 << "&lt;a href=&quot;javascript:alert(1)&quot;&gt;x&lt;/a&gt;";
    QTest::newRow("link with a target") << R"(<a href="https://e.org" target="_blank">x</a>)"
                                        << "&lt;a href=&quot;https://e.org&quot; "
                                           "target=&quot;_blank&quot;&gt;x&lt;/a&gt;";
    QTest::newRow("script") << "<script>alert('&amp;')</script>after"
                            << "&lt;script&gt;alert('&amp;amp;')&lt;/script&gt;after";
    QTest::newRow("style attribute") << R"(<p style="color:red">x</p>)"
                                     << "&lt;p style=&quot;color:red&quot;&gt;x&lt;/p&gt;";
    QTest::newRow("kept inside shown") << "<font><b>x</b></font>"
                                       << "&lt;font&gt;<b>x</b>&lt;/font&gt;";
    QTest::newRow("stray end tag and comment") << "a</b>b<!-- c -->d<!DOCTYPE html>"
                                               << "a&lt;/b&gt;b&lt;!-- c --&gt;d&lt;!DOCTYPE "
                                                  "html&gt;";
    QTest::newRow("link inside a picture of another kind")
        << R"(<svg><a href="https://e.org">y</a></svg>)"
        << "&lt;svg&gt;&lt;a href=&quot;https://e.org&quot;&gt;y&lt;/a&gt;&lt;/svg&gt;";
    QTest::newRow("table moves no text") << "<table>x<tr><td>y</td></tr></table>z"
                                         << "&lt;table&gt;x&lt;tr&gt;&lt;td&gt;y&lt;/td&gt;&lt;/"
                                            "tr&gt;&lt;/table&gt;z";
}

void TestMessageMarkup::sanitise()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString result = MessageMarkup::sanitise(input, kPolicy);
    QCOMPARE(result, expected);
    QCOMPARE(MessageMarkup::sanitiseParsed(input, kPolicy), expected);
    // Shown as rich text, the result asks for no resource but the allowed pictures.
    QTextDocument document;
    document.setHtml(result);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) {
                const QString name = format.toImageFormat().name();
                QVERIFY2(name.startsWith(QLatin1String("file:///opt/tarnex/emojis/")) ||
                             name == kAttachment,
                         qPrintable(name));
            }
            if (format.isAnchor())
                QVERIFY(MessageMarkup::isWebLink(QUrl(format.anchorHref())));
        }
    }
}

void TestMessageMarkup::boundsNesting()
{
    // Emphasis nested past what is laid out is shown as text; tags past any message's count
    // leave the whole text as written.
    const QString deep = QString(QStringLiteral("<b>")).repeated(40) + QStringLiteral("x");
    QCOMPARE(MessageMarkup::sanitise(deep, kPolicy).count(QStringLiteral("<b>")), 32);
    const QString many = QString(QStringLiteral("<div>")).repeated(300000);
    QCOMPARE(MessageMarkup::sanitise(many, kPolicy), many.toHtmlEscaped());
}

void TestMessageMarkup::ownMarkupReadsAsTheParser_data()
{
    QTest::addColumn<QString>("input");
    // Whether the reader of the own editor's markup must take it (what the window shows most).
    QTest::addColumn<bool>("own");
    QTest::newRow("plain line") << QStringLiteral("明天上午十点开会 😀 a & b > c") << true;
    QTest::newRow("editor line")
        << R"(好的<br /><b>收到</b> <img src="file:///opt/tarnex/emojis/smile.png" height="14" )"
           R"(width="14" />)"
        << true;
    QTest::newRow("own picture")
        << QString(R"(<a href="%1"><img src="%1" width="300" /></a>)").arg(kAttachment) << true;
    QTest::newRow("paragraphs, entities, line ends")
        << "<P>a&nbsp;&amp;&lt;&gt;&quot;\r\nb\rc</P><div><div><p>d</p></div></div><STRONG>"
           "<EM><U>e</U></EM></STRONG><i>f<br>g<br/></i>"
        << true;
    QTest::newRow("unclosed at the end") << "<p><b>x<i>y" << true;
    QTest::newRow("blanks and line ends first") << " \r\n\r x\r\n<b>y</b>" << true;
    QTest::newRow("link with an escaped query")
        << R"(<a href="https://e.org/a?b=1&amp;c=%20d">x</a>)" << true;
    // Whatever the parser would read otherwise is left to it.
    QTest::newRow("misnested") << "<b>x<i>y</b>z</i>" << false;
    QTest::newRow("block in emphasis or paragraph")
        << "<b><p>x</p></b><p><div>y</div></p>" << false;
    QTest::newRow("emphasis in its kind, link in a link")
        << R"(<b><b>x</b></b><a href="https://e.org"><a href="https://e.org">y</a></a>)" << false;
    QTest::newRow("stray end tags") << "x</b></p></br>" << false;
    QTest::newRow("entities it does not know") << "&copy &amp &#38; &nbsp &lt" << false;
    QTest::newRow("rewritten characters") << QStringLiteral("a\u0001b\uFFFE\uFEFFc") << false;
    QTest::newRow("lone surrogate") << QString(QChar(0xd800)) + QStringLiteral("<b>x</b>") << false;
    QTest::newRow("attribute forms")
        << R"(<img src='file:///opt/tarnex/emojis/a.png'><img SRC="file:///opt/tarnex/emojis/)"
           R"(a.png"><img src="file:///opt/tarnex/emojis/a.png" src="x"><a href="https://e.org")"
           R"( />x</a>)"
        << false;
    QTest::newRow("less-than in text") << "a < b <b>c</b>" << false;
    QTest::newRow("deep divisions") << QString(QStringLiteral("<div>")).repeated(40) << false;
}

void TestMessageMarkup::ownMarkupReadsAsTheParser()
{
    QFETCH(QString, input);
    QFETCH(bool, own);
    QString shown;
    const bool taken = MessageMarkup::sanitiseOwnMarkup(input, kPolicy, &shown);
    QCOMPARE(taken, own);
    if (taken)
        QCOMPARE(shown, MessageMarkup::sanitiseParsed(input, kPolicy));
    // Every prefix too: a message cut anywhere is still read alike, or left to the parser.
    for (int length = 0; length < input.size(); ++length) {
        const QString cut = input.left(length);
        if (MessageMarkup::sanitiseOwnMarkup(cut, kPolicy, &shown))
            QCOMPARE(shown, MessageMarkup::sanitiseParsed(cut, kPolicy));
    }
}

TARNEX_TEST_MAIN(TestMessageMarkup)
#include "tst_messagemarkup.moc"
