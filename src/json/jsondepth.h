#pragma once

#include <rapidjson/reader.h>

// How deep peer JSON may nest. Nothing the server sends comes near it; text that goes deeper is
// refused whole, before any reader recurses into it, so a hostile frame cannot exhaust the stack.
namespace JsonDepth {

constexpr int limit = 128;

// Hands the parser's events on to a document, but stops the parse where arrays and objects
// nest deeper than the limit. The parser asks before it descends, so it never recurses past it.
template <typename Handler> class Bounded
{
public:
    using Ch = typename Handler::Ch;

    explicit Bounded(Handler &handler) : m_handler(handler) {}

    bool tooDeep() const { return m_tooDeep; }

    bool Null() { return m_handler.Null(); }
    bool Bool(bool b) { return m_handler.Bool(b); }
    bool Int(int i) { return m_handler.Int(i); }
    bool Uint(unsigned i) { return m_handler.Uint(i); }
    bool Int64(int64_t i) { return m_handler.Int64(i); }
    bool Uint64(uint64_t i) { return m_handler.Uint64(i); }
    bool Double(double d) { return m_handler.Double(d); }
    bool RawNumber(const Ch *text, rapidjson::SizeType length, bool copy)
    {
        return m_handler.RawNumber(text, length, copy);
    }
    bool String(const Ch *text, rapidjson::SizeType length, bool copy)
    {
        return m_handler.String(text, length, copy);
    }
    bool Key(const Ch *text, rapidjson::SizeType length, bool copy)
    {
        return m_handler.Key(text, length, copy);
    }
    bool StartObject() { return descend() && m_handler.StartObject(); }
    bool EndObject(rapidjson::SizeType members)
    {
        --m_depth;
        return m_handler.EndObject(members);
    }
    bool StartArray() { return descend() && m_handler.StartArray(); }
    bool EndArray(rapidjson::SizeType elements)
    {
        --m_depth;
        return m_handler.EndArray(elements);
    }

private:
    bool descend()
    {
        if (++m_depth <= limit)
            return true;
        m_tooDeep = true;
        return false;
    }

    Handler &m_handler;
    int m_depth = 0;
    bool m_tooDeep = false;
};

enum class Outcome { Read, Malformed, TooDeep };

// Parses `stream` into `doc` with `reader`, refusing text nested deeper than the limit. On
// anything but Read the document is left null.
template <unsigned Flags, typename Reader, typename Document, typename Stream>
Outcome parse(Reader &reader, Document &doc, Stream &stream)
{
    Outcome outcome = Outcome::Malformed;
    auto generate = [&](Document &handler) {
        Bounded<Document> bounded(handler);
        const bool ok = !reader.template Parse<Flags>(stream, bounded).IsError();
        outcome = ok ? Outcome::Read : bounded.tooDeep() ? Outcome::TooDeep : Outcome::Malformed;
        return ok;
    };
    doc.SetNull();
    doc.Populate(generate);
    return outcome;
}

} // namespace JsonDepth
