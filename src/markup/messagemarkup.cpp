#include "messagemarkup.h"

#include <gumbo.h>

#include <QByteArray>
#include <QDir>
#include <QRegularExpression>
#include <QVector>

#include <cstring>

namespace {

// More tags than any message holds: past it the text is shown as written, without markup. The
// parser builds its tree with recursion of its own, so nesting must stay bounded before it runs.
constexpr int kMaxTags = 4096;
// Kept elements nested deeper than this are shown as text, as Qt's rich text lays out each level.
constexpr int kMaxKeptDepth = 32;

int defaultPort(const QString &scheme)
{
    return scheme == QLatin1String("https") ? 443 : scheme == QLatin1String("http") ? 80 : -1;
}

bool sameOrigin(const QUrl &a, const QUrl &b)
{
    return !a.host().isEmpty() && a.scheme() == b.scheme() && a.host() == b.host() &&
           a.port(defaultPort(a.scheme())) == b.port(defaultPort(b.scheme()));
}

QString attributeValue(const GumboAttribute *attribute)
{
    return QString::fromUtf8(attribute->value);
}

bool isDimension(const QString &value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,4}$"));
    return digits.match(value).hasMatch();
}

QString localPath(const QUrl &url)
{
    QString path = QDir::cleanPath(url.toLocalFile());
#ifndef Q_OS_WIN
    // "file:///" before an absolute path gives a doubled slash, which means nothing here; on
    // Windows it starts a share on another machine and is never ours.
    while (path.startsWith(QLatin1String("//")))
        path.remove(0, 1);
#endif
    return path;
}

bool isEmoticon(const QUrl &url, const MarkupPolicy &policy)
{
    if (policy.emoticonFolder.isEmpty() || !url.isLocalFile() || !url.host().isEmpty())
        return false;
    const QString folder = QDir::cleanPath(policy.emoticonFolder) + QLatin1Char('/');
    const QString path = localPath(url);
    if (!path.startsWith(folder) || !path.endsWith(QLatin1String(".png")))
        return false;
    return !path.midRef(folder.size()).contains(QLatin1Char('/'));
}

bool isOwnAttachment(const QUrl &url, const MarkupPolicy &policy)
{
    static const QRegularExpression attachment(QStringLiteral("/api/attachment/index/[^/]+$"));
    return MessageMarkup::isWebLink(url) && sameOrigin(url, policy.ownServer) &&
           attachment.match(url.path()).hasMatch();
}

// The canonical form of an element that may be shown as markup, or "" when it is to be shown as
// the text it was.
QString keptStartTag(const GumboElement &element, const MarkupPolicy &policy)
{
    if (element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return {};
    const unsigned count = element.attributes.length;
    const auto attribute = [&element](unsigned i) {
        return static_cast<const GumboAttribute *>(element.attributes.data[i]);
    };
    switch (element.tag) {
    case GUMBO_TAG_BR:
        return count == 0 ? QStringLiteral("<br />") : QString();
    case GUMBO_TAG_P:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_B:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_I:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_U:
        return count == 0
                   ? QLatin1Char('<') + QString::fromUtf8(gumbo_normalized_tagname(element.tag)) +
                         QLatin1Char('>')
                   : QString();
    case GUMBO_TAG_A: {
        if (count != 1 || qstrcmp(attribute(0)->name, "href") != 0)
            return {};
        const QUrl url(attributeValue(attribute(0)), QUrl::StrictMode);
        if (!MessageMarkup::isWebLink(url))
            return {};
        return QStringLiteral("<a href=\"") + url.toString(QUrl::FullyEncoded).toHtmlEscaped() +
               QStringLiteral("\">");
    }
    case GUMBO_TAG_IMG: {
        QString source;
        QString size;
        for (unsigned i = 0; i < count; ++i) {
            const QString name = QString::fromUtf8(attribute(i)->name);
            const QString value = attributeValue(attribute(i));
            if (name == QLatin1String("src") && source.isNull()) {
                const QUrl url(value, QUrl::StrictMode);
                if (!url.isValid() || !(isEmoticon(url, policy) || isOwnAttachment(url, policy)))
                    return {};
                source = url.isLocalFile()
                             ? QUrl::fromLocalFile(localPath(url)).toString(QUrl::FullyEncoded)
                             : url.toString(QUrl::FullyEncoded);
            } else if ((name == QLatin1String("width") || name == QLatin1String("height")) &&
                       isDimension(value)) {
                size += QLatin1Char(' ') + name + QStringLiteral("=\"") + value + QLatin1Char('"');
            } else {
                return {};
            }
        }
        if (source.isNull())
            return {};
        return QStringLiteral("<img src=\"") + source.toHtmlEscaped() + QLatin1Char('"') + size +
               QStringLiteral(" />");
    }
    default:
        return {};
    }
}

// Whether a text node's source holds tags the parser dropped (a stray end tag, a declaration):
// its text then runs across them, and only its source shows what the sender wrote. Inside the
// elements whose content is read as it stands, a "<" is just a character of the text.
bool swallowsTags(const GumboNode &text)
{
    const GumboStringPiece &source = text.v.text.original_text;
    if (!source.data || !memchr(source.data, '<', source.length))
        return false;
    if (text.parent && text.parent->type == GUMBO_NODE_ELEMENT) {
        switch (text.parent->v.element.tag) {
        case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_STYLE:
        case GUMBO_TAG_TEXTAREA:
        case GUMBO_TAG_TITLE:
        case GUMBO_TAG_XMP:
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_NOEMBED:
        case GUMBO_TAG_NOFRAMES:
        case GUMBO_TAG_NOSCRIPT:
        case GUMBO_TAG_PLAINTEXT:
            return false;
        default:
            break;
        }
    }
    return true;
}

bool isVoid(GumboTag tag)
{
    return tag == GUMBO_TAG_BR || tag == GUMBO_TAG_IMG;
}

// Writes the tree in document order. The source is walked alongside: whatever of it no node
// covers (a stray end tag, a declaration) and the tags of elements not kept are written as
// escaped source text, each piece once.
class Writer
{
public:
    Writer(const QByteArray &source, const MarkupPolicy &policy)
        : m_source(source), m_policy(policy)
    {}

    QString write(const GumboNode *root)
    {
        struct Frame
        {
            const GumboNode *node;
            unsigned next;
            bool kept;
            QString endTag;
        };
        QVector<Frame> stack;
        stack.push_back({root, 0, false, {}});
        int keptDepth = 0;
        while (!stack.isEmpty()) {
            Frame &frame = stack.last();
            const GumboNode *node = frame.node;
            const GumboVector &children = node->type == GUMBO_NODE_DOCUMENT
                                              ? node->v.document.children
                                              : node->v.element.children;
            if (frame.next < children.length) {
                const auto *child = static_cast<const GumboNode *>(children.data[frame.next++]);
                if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE) {
                    const GumboElement &element = child->v.element;
                    QString kept =
                        keptDepth < kMaxKeptDepth ? keptStartTag(element, m_policy) : QString();
                    if (kept.isEmpty()) {
                        raw(element.original_tag);
                        stack.push_back({child, 0, false, {}});
                    } else {
                        gapTo(element.original_tag.data);
                        cover(element.original_tag);
                        m_out += kept;
                        ++keptDepth;
                        stack.push_back(
                            {child, 0, true,
                             isVoid(element.tag)
                                 ? QString()
                                 : QStringLiteral("</") +
                                       QString::fromUtf8(gumbo_normalized_tagname(element.tag)) +
                                       QLatin1Char('>')});
                    }
                } else if (child->type == GUMBO_NODE_COMMENT || child->type == GUMBO_NODE_CDATA ||
                           swallowsTags(*child)) {
                    // Shown as the sender typed it: nothing of it is markup we keep.
                    raw(child->v.text.original_text);
                } else {
                    gapTo(child->v.text.original_text.data);
                    cover(child->v.text.original_text);
                    m_out += QString::fromUtf8(child->v.text.text).toHtmlEscaped();
                }
                continue;
            }
            // All children written: the end tag.
            if (node->type != GUMBO_NODE_DOCUMENT) {
                const GumboStringPiece &end = node->v.element.original_end_tag;
                if (frame.kept) {
                    gapTo(end.data);
                    cover(end);
                    m_out += frame.endTag;
                    --keptDepth;
                } else {
                    raw(end);
                }
            }
            stack.pop_back();
        }
        gapTo(m_source.constData() + m_source.size());
        return m_out;
    }

private:
    int offsetOf(const char *at) const { return int(at - m_source.constData()); }

    // Source text up to `at` that nothing has written yet, escaped.
    void gapTo(const char *at)
    {
        if (!at)
            return;
        const int offset = offsetOf(at);
        if (offset < 0 || offset > m_source.size() || offset <= m_done)
            return;
        m_out += QString::fromUtf8(m_source.constData() + m_done, offset - m_done).toHtmlEscaped();
        m_done = offset;
    }

    void cover(const GumboStringPiece &piece)
    {
        if (piece.data && piece.length > 0)
            m_done = qMax(m_done, offsetOf(piece.data) + int(piece.length));
    }

    // A piece of the source shown as the characters it holds.
    void raw(const GumboStringPiece &piece)
    {
        if (!piece.data || piece.length == 0)
            return;
        gapTo(piece.data);
        const int end = offsetOf(piece.data) + int(piece.length);
        if (end > m_done) {
            const int from = qMax(m_done, offsetOf(piece.data));
            m_out += QString::fromUtf8(m_source.constData() + from, end - from).toHtmlEscaped();
            m_done = end;
        }
    }

    const QByteArray &m_source;
    const MarkupPolicy &m_policy;
    QString m_out;
    int m_done = 0;
};

} // namespace

bool MessageMarkup::isWebLink(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QString MessageMarkup::sanitise(const QString &html, const MarkupPolicy &policy)
{
    const int tags = html.count(QLatin1Char('<'));
    // Without a tag or an entity there is nothing to parse: most messages are a line of text.
    if (tags == 0 && !html.contains(QLatin1Char('&')))
        return html.toHtmlEscaped();
    if (tags > kMaxTags)
        return html.toHtmlEscaped();
    const QByteArray source = html.toUtf8();
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput *output = gumbo_parse_with_options(&options, source.constData(), source.size());
    const QString result = Writer(source, policy).write(output->document);
    gumbo_destroy_output(&options, output);
    return result;
}
