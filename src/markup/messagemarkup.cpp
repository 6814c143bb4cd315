#include "messagemarkup.h"

#include <gumbo.h>

#include <QByteArray>
#include <QDir>
#include <QVarLengthArray>
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

bool isDimension(const QString &value)
{
    if (value.isEmpty() || value.size() > 4)
        return false;
    for (const QChar c : value) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
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
    // An emoticon has a name: "emojis/.png" is no picture the client ships.
    const QStringRef name = path.midRef(folder.size());
    return name.size() > 4 && !name.contains(QLatin1Char('/'));
}

bool isOwnAttachment(const QUrl &url, const MarkupPolicy &policy)
{
    if (!MessageMarkup::isWebLink(url) || !sameOrigin(url, policy.ownServer))
        return false;
    // The path ends in ".../api/attachment/index/<id>".
    const QString path = url.path();
    const int last = path.lastIndexOf(QLatin1Char('/'));
    return last >= 0 && last + 1 < path.size() &&
           path.leftRef(last + 1).endsWith(QLatin1String("/api/attachment/index/"));
}

// The elements a message may show as markup.
enum class Kept { None, Br, P, Div, B, Strong, I, Em, U, A, Img };

const char *keptName(Kept kind)
{
    static const char *const names[] = {"",  "br", "p", "div", "b",  "strong",
                                        "i", "em", "u", "a",   "img"};
    return names[int(kind)];
}

bool isVoid(Kept kind)
{
    return kind == Kept::Br || kind == Kept::Img;
}

struct Attribute
{
    QString name;
    QString value;
};
using Attributes = QVarLengthArray<Attribute, 4>;

// The last address read and its encoded form: a picture of the own server comes in a link to
// the same address, which is then read once.
class UrlCache
{
public:
    const QUrl &parse(const QString &text)
    {
        if (!m_read || text != m_text) {
            m_text = text;
            m_url = QUrl(text, QUrl::StrictMode);
            m_encoded.clear();
            m_read = true;
        }
        return m_url;
    }
    // The encoded form of what parse() read last.
    const QString &encoded()
    {
        if (m_encoded.isNull())
            m_encoded = m_url.toString(QUrl::FullyEncoded);
        return m_encoded;
    }

private:
    QString m_text;
    QUrl m_url;
    QString m_encoded;
    bool m_read = false;
};

// The canonical form of an element that may be shown as markup, or "" when it is to be shown as
// the text it was. Both readers of markup come here, so they keep the same elements alike.
QString keptStartTag(Kept kind, const Attributes &attributes, const MarkupPolicy &policy,
                     UrlCache &urls)
{
    const int count = attributes.size();
    switch (kind) {
    case Kept::None:
        return {};
    case Kept::Br:
        return count == 0 ? QStringLiteral("<br />") : QString();
    case Kept::P:
    case Kept::Div:
    case Kept::B:
    case Kept::Strong:
    case Kept::I:
    case Kept::Em:
    case Kept::U:
        return count == 0 ? QLatin1Char('<') + QLatin1String(keptName(kind)) + QLatin1Char('>')
                          : QString();
    case Kept::A: {
        if (count != 1 || attributes[0].name != QLatin1String("href"))
            return {};
        const QUrl &url = urls.parse(attributes[0].value);
        if (!MessageMarkup::isWebLink(url))
            return {};
        return QStringLiteral("<a href=\"") + urls.encoded().toHtmlEscaped() +
               QStringLiteral("\">");
    }
    case Kept::Img: {
        QString source;
        QString size;
        for (const Attribute &attribute : attributes) {
            if (attribute.name == QLatin1String("src") && source.isNull()) {
                const QUrl &url = urls.parse(attribute.value);
                if (!url.isValid() || !(isEmoticon(url, policy) || isOwnAttachment(url, policy)))
                    return {};
                source = url.isLocalFile()
                             ? QUrl::fromLocalFile(localPath(url)).toString(QUrl::FullyEncoded)
                             : urls.encoded();
            } else if ((attribute.name == QLatin1String("width") ||
                        attribute.name == QLatin1String("height")) &&
                       isDimension(attribute.value)) {
                size += QLatin1Char(' ') + attribute.name + QStringLiteral("=\"") +
                        attribute.value + QLatin1Char('"');
            } else {
                return {};
            }
        }
        if (source.isNull())
            return {};
        return QStringLiteral("<img src=\"") + source.toHtmlEscaped() + QLatin1Char('"') + size +
               QStringLiteral(" />");
    }
    }
    return {};
}

QString keptEndTag(Kept kind)
{
    return isVoid(kind) ? QString()
                        : QStringLiteral("</") + QLatin1String(keptName(kind)) + QLatin1Char('>');
}

Kept keptKind(const GumboElement &element)
{
    if (element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return Kept::None;
    switch (element.tag) {
    case GUMBO_TAG_BR:
        return Kept::Br;
    case GUMBO_TAG_P:
        return Kept::P;
    case GUMBO_TAG_DIV:
        return Kept::Div;
    case GUMBO_TAG_B:
        return Kept::B;
    case GUMBO_TAG_STRONG:
        return Kept::Strong;
    case GUMBO_TAG_I:
        return Kept::I;
    case GUMBO_TAG_EM:
        return Kept::Em;
    case GUMBO_TAG_U:
        return Kept::U;
    case GUMBO_TAG_A:
        return Kept::A;
    case GUMBO_TAG_IMG:
        return Kept::Img;
    default:
        return Kept::None;
    }
}

QString keptStartTag(const GumboElement &element, const MarkupPolicy &policy, UrlCache &urls)
{
    const Kept kind = keptKind(element);
    if (kind == Kept::None)
        return {};
    Attributes attributes;
    for (unsigned i = 0; i < element.attributes.length; ++i) {
        const auto *attribute = static_cast<const GumboAttribute *>(element.attributes.data[i]);
        attributes.append(
            {QString::fromUtf8(attribute->name), QString::fromUtf8(attribute->value)});
    }
    return keptStartTag(kind, attributes, policy, urls);
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
                    QString kept = keptDepth < kMaxKeptDepth
                                       ? keptStartTag(element, m_policy, m_urls)
                                       : QString();
                    if (kept.isEmpty()) {
                        raw(element.original_tag);
                        stack.push_back({child, 0, false, {}});
                    } else {
                        gapTo(element.original_tag.data);
                        cover(element.original_tag);
                        m_out += kept;
                        ++keptDepth;
                        stack.push_back({child, 0, true, keptEndTag(keptKind(element))});
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
    UrlCache m_urls;
    QString m_out;
    int m_done = 0;
};

// Reads the markup the client's own editor writes without the HTML5 parser: text, the few
// entities it writes, and the kept elements, properly nested, each start tag one the policy
// keeps. For everything it takes, its result is the parser's to the byte; anything else (a tag
// shown as text, misnesting, a character the parser would rewrite) makes it give up, and the
// parser reads the message instead.
class OwnMarkupScanner
{
public:
    OwnMarkupScanner(const QString &html, const MarkupPolicy &policy)
        : m_at(html.constData()), m_end(html.constData() + html.size()), m_policy(policy)
    {
        m_out.reserve(html.size() + 16);
    }

    bool read()
    {
        // Blanks before the first text or tag make no node of the parser, which shows them as
        // they came, a carriage return too.
        while (m_at < m_end && (*m_at == QLatin1Char(' ') || *m_at == QLatin1Char('\t') ||
                                *m_at == QLatin1Char('\n') || *m_at == QLatin1Char('\r')))
            m_out += *m_at++;
        while (m_at < m_end) {
            const QChar *const run = m_at;
            while (m_at < m_end && isPlain(m_at->unicode()))
                ++m_at;
            if (m_at > run)
                m_out.append(run, int(m_at - run));
            if (m_at == m_end)
                break;
            const QChar c = *m_at;
            if (c == QLatin1Char('<')) {
                if (++m_tags > kMaxTags || !tag())
                    return false;
            } else if (c == QLatin1Char('&')) {
                if (!entity(m_out))
                    return false;
            } else if (!character(m_out)) {
                return false;
            }
        }
        // What is still open closes at the end, innermost first.
        while (!m_open.isEmpty()) {
            m_out += keptEndTag(m_open.last());
            m_open.removeLast();
        }
        return true;
    }

    QString result() { return std::move(m_out); }

private:
    bool startsWith(QLatin1String text) const
    {
        if (m_end - m_at < text.size())
            return false;
        for (int i = 0; i < text.size(); ++i) {
            if (m_at[i] != QLatin1Char(text[i]))
                return false;
        }
        return true;
    }

    // A character of text that is shown as it is.
    static bool isPlain(ushort c)
    {
        if (c < 0x7f)
            return (c >= 0x20 || c == '\n' || c == '\t') && c != '<' && c != '&' && c != '>' &&
                   c != '"';
        return (c >= 0xa0 && c < 0xd800) || (c >= 0xe000 && c < 0xfdd0) ||
               (c > 0xfdef && c < 0xfeff) || (c > 0xfeff && c < 0xfffe);
    }

    // One character of text or of an attribute's value. The parser turns a carriage return into
    // a line feed; characters it drops or replaces are left to it.
    bool character(QString &out)
    {
        const ushort c = m_at->unicode();
        if (c == '\r') {
            out += QLatin1Char('\n');
            m_at += m_at + 1 < m_end && m_at[1] == QLatin1Char('\n') ? 2 : 1;
            return true;
        }
        if ((c < 0x20 && c != '\n' && c != '\t') || (c >= 0x7f && c <= 0x9f) ||
            (c >= 0xfdd0 && c <= 0xfdef) || c == 0xfffe || c == 0xffff || c == 0xfeff)
            return false;
        if (QChar::isHighSurrogate(c)) {
            if (m_at + 1 >= m_end || !m_at[1].isLowSurrogate())
                return false;
            const uint code = QChar::surrogateToUcs4(c, m_at[1].unicode());
            if ((code & 0xfffe) == 0xfffe)
                return false;
            out.append(m_at, 2);
            m_at += 2;
            return true;
        }
        if (QChar::isLowSurrogate(c))
            return false;
        if (c == '>')
            out += QLatin1String("&gt;");
        else if (c == '"')
            out += QLatin1String("&quot;");
        else
            out += *m_at;
        ++m_at;
        return true;
    }

    // A "&" in text: one of the entities the editor writes, or one that starts no reference.
    bool entity(QString &out)
    {
        static const struct
        {
            QLatin1String source;
            QLatin1String shown;
        } known[] = {{QLatin1String("&amp;"), QLatin1String("&amp;")},
                     {QLatin1String("&lt;"), QLatin1String("&lt;")},
                     {QLatin1String("&gt;"), QLatin1String("&gt;")},
                     {QLatin1String("&quot;"), QLatin1String("&quot;")}};
        const QChar next = m_at + 1 < m_end ? m_at[1] : QLatin1Char(' ');
        if (next == QLatin1Char(' ') || next == QLatin1Char('\n') || next == QLatin1Char('\t') ||
            next == QLatin1Char('<') || next == QLatin1Char('&')) {
            out += QLatin1String("&amp;");
            ++m_at;
            return true;
        }
        for (const auto &entry : known) {
            if (startsWith(entry.source)) {
                out += entry.shown;
                m_at += entry.source.size();
                return true;
            }
        }
        if (startsWith(QLatin1String("&nbsp;"))) {
            out += QChar(0xa0);
            m_at += 6;
            return true;
        }
        return false;
    }

    static Kept kindOf(const QChar *name, int length)
    {
        static const struct
        {
            QLatin1String name;
            Kept kind;
        } kinds[] = {{QLatin1String("br"), Kept::Br},         {QLatin1String("p"), Kept::P},
                     {QLatin1String("div"), Kept::Div},       {QLatin1String("b"), Kept::B},
                     {QLatin1String("strong"), Kept::Strong}, {QLatin1String("i"), Kept::I},
                     {QLatin1String("em"), Kept::Em},         {QLatin1String("u"), Kept::U},
                     {QLatin1String("a"), Kept::A},           {QLatin1String("img"), Kept::Img}};
        const QStringView view(name, length);
        for (const auto &entry : kinds) {
            if (view.compare(entry.name, Qt::CaseInsensitive) == 0)
                return entry.kind;
        }
        return Kept::None;
    }

    static bool isAsciiLetter(QChar c)
    {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    }

    // A tag at "<", written out when kept and properly placed.
    bool tag()
    {
        const bool end = m_at + 1 < m_end && m_at[1] == QLatin1Char('/');
        const QChar *name = m_at + (end ? 2 : 1);
        const QChar *p = name;
        while (p < m_end && isAsciiLetter(*p))
            ++p;
        const Kept kind = kindOf(name, int(p - name));
        if (kind == Kept::None)
            return false;
        if (end) {
            if (p >= m_end || *p != QLatin1Char('>') || m_open.isEmpty() || m_open.last() != kind)
                return false;
            m_open.removeLast();
            if (kind == Kept::P)
                m_inParagraph = false;
            else if (kind != Kept::Div)
                m_inline &= ~(1u << int(kind));
            m_out += keptEndTag(kind);
            m_at = p + 1;
            return true;
        }
        Attributes attributes;
        bool selfClosing = false;
        for (;;) {
            if (p >= m_end)
                return false;
            if (*p == QLatin1Char('>')) {
                ++p;
                break;
            }
            if (*p == QLatin1Char('/') ||
                (*p == QLatin1Char(' ') && p + 1 < m_end && p[1] == QLatin1Char('/'))) {
                p += *p == QLatin1Char('/') ? 1 : 2;
                if (p >= m_end || *p != QLatin1Char('>'))
                    return false;
                selfClosing = true;
                ++p;
                break;
            }
            if (*p != QLatin1Char(' ') || !attribute(++p, attributes))
                return false;
        }
        if (selfClosing && !isVoid(kind))
            return false;
        // Only placements the parser takes as written: no block inside a paragraph or an
        // emphasis, no emphasis inside one of its kind, and no deeper than the parser's writer
        // keeps.
        const bool block = kind == Kept::P || kind == Kept::Div;
        if (m_open.size() >= kMaxKeptDepth || (block && (m_inParagraph || m_inline)) ||
            (m_inline & (1u << int(kind))))
            return false;
        const QString kept = keptStartTag(kind, attributes, m_policy, m_urls);
        if (kept.isEmpty())
            return false;
        m_out += kept;
        if (!isVoid(kind)) {
            m_open.append(kind);
            if (kind == Kept::P)
                m_inParagraph = true;
            else if (kind != Kept::Div)
                m_inline |= 1u << int(kind);
        }
        m_at = p;
        return true;
    }

    // name="value" in lower case, with no entity but "&amp;", each name once.
    bool attribute(const QChar *&p, Attributes &attributes)
    {
        const QChar *name = p;
        while (p < m_end && *p >= QLatin1Char('a') && *p <= QLatin1Char('z'))
            ++p;
        if (p == name || m_end - p < 2 || p[0] != QLatin1Char('=') || p[1] != QLatin1Char('"'))
            return false;
        Attribute attribute{QString(name, int(p - name)), {}};
        for (const Attribute &other : attributes) {
            if (other.name == attribute.name)
                return false;
        }
        p += 2;
        // Most values hold nothing to decode: taken whole.
        const QChar *const value = p;
        while (p < m_end && isPlain(p->unicode()))
            ++p;
        if (p < m_end && *p == QLatin1Char('"')) {
            attribute.value = QString(value, int(p - value));
            ++p;
            attributes.append(std::move(attribute));
            return true;
        }
        p = value;
        const QChar *const textAt = m_at;
        m_at = p;
        bool closed = false;
        while (m_at < m_end) {
            const QChar c = *m_at;
            if (c == QLatin1Char('"')) {
                closed = true;
                break;
            }
            if (c == QLatin1Char('<') || c == QLatin1Char('>'))
                break;
            if (c == QLatin1Char('&')) {
                if (!startsWith(QLatin1String("&amp;")))
                    break;
                attribute.value += QLatin1Char('&');
                m_at += 5;
            } else if (c == QLatin1Char('\r') || !character(attribute.value)) {
                break;
            }
        }
        p = m_at + 1;
        m_at = textAt;
        if (!closed)
            return false;
        attributes.append(std::move(attribute));
        return true;
    }

    const QChar *m_at;
    const QChar *const m_end;
    const MarkupPolicy &m_policy;
    UrlCache m_urls;
    QString m_out;
    QVarLengthArray<Kept, kMaxKeptDepth> m_open;
    // The emphasis elements open, a bit for each kind.
    unsigned m_inline = 0;
    bool m_inParagraph = false;
    int m_tags = 0;
};

} // namespace

bool MessageMarkup::isWebLink(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

bool MessageMarkup::sanitiseOwnMarkup(const QString &html, const MarkupPolicy &policy,
                                      QString *shown)
{
    OwnMarkupScanner scanner(html, policy);
    if (!scanner.read())
        return false;
    *shown = scanner.result();
    return true;
}

QString MessageMarkup::sanitiseParsed(const QString &html, const MarkupPolicy &policy)
{
    // Text the own-markup reader left (a character the parser rewrites) is parsed too, so the
    // two readers agree on every text.
    if (html.count(QLatin1Char('<')) > kMaxTags)
        return html.toHtmlEscaped();
    const QByteArray source = html.toUtf8();
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput *output = gumbo_parse_with_options(&options, source.constData(), source.size());
    const QString result = Writer(source, policy).write(output->document);
    gumbo_destroy_output(&options, output);
    return result;
}

QString MessageMarkup::sanitise(const QString &html, const MarkupPolicy &policy)
{
    // Most messages are a line of text or what the own editor writes: read without the parser.
    QString shown;
    if (sanitiseOwnMarkup(html, policy, &shown))
        return shown;
    return sanitiseParsed(html, policy);
}
