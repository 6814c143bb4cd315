// libFuzzer target for the message markup sanitiser: any text must come out as rich text whose
// every tag is one the client writes itself, with no source but its emoticons and the own
// server's attachments and no link but http and https. What the reader of the own editor's markup
// takes, it must show exactly as the HTML5 parser's reading does.

#include "fuzzsetup.h"
#include "markup/messagemarkup.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const MarkupPolicy policy{QStringLiteral("/opt/tarnex/emojis"),
                                     QUrl(QStringLiteral("http://oa.example.com:8080"))};
    static const QRegularExpression tag(
        QStringLiteral(R"re(<(/?(b|i|u|p|div|strong|em|a)>|br />|a href="https?://[^"<>]+">|)re"
                       R"re(img src="(file:///opt/tarnex/emojis/[^"/<>]+\.png|)re"
                       R"re(http://oa\.example\.com:8080/[^"<>]*api/attachment/index/[^"/<>?]+)re"
                       R"re((\?[^"<>]*)?)")re"
                       R"re(( (width|height)="[0-9]{1,4}")* />))re"));
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QString shown = MessageMarkup::sanitise(input, policy);
    QString own;
    if (MessageMarkup::sanitiseOwnMarkup(input, policy, &own) &&
        own != MessageMarkup::sanitiseParsed(input, policy))
        abort();
    for (int at = shown.indexOf(QLatin1Char('<')); at >= 0;
         at = shown.indexOf(QLatin1Char('<'), at + 1)) {
        if (!tag.match(shown, at, QRegularExpression::NormalMatch,
                       QRegularExpression::AnchoredMatchOption)
                 .hasMatch())
            abort();
    }
    return 0;
}
