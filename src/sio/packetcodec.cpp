#include "packetcodec.h"

#include "json/jsondepth.h"
#include "json/jsontext.h"
#include "json/peerjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <rapidjson/document.h>

#include <algorithm>
#include <cmath>

namespace sio {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Only events and acks carry an ack id; in other packets leading digits belong to the body (a
// CONNECT_ERROR may be a bare number).
bool carriesAckId(PacketType type)
{
    return type == PacketType::Event || type == PacketType::Ack ||
           type == PacketType::BinaryEvent || type == PacketType::BinaryAck;
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

int failAt(QString *error, const QString &reason)
{
    fail(error, reason);
    return -1;
}

// A heartbeat figure from the open packet; absurd values fall back to the default, and the cap
// keeps interval + timeout inside a QTimer's int.
int timing(const QJsonValue &value, int fallback)
{
    constexpr double cap = 24.0 * 3600 * 1000;
    if (!value.isDouble() || !(value.toDouble() >= 1))
        return fallback;
    return int(qMin(value.toDouble(), cap));
}

// The fast parser's reading of UTF-16, but an escaped half of a surrogate pair without its other
// half becomes U+FFFD: the parser's own encoder takes it for a broken invariant and stops the
// process.
struct PeerUtf16 : FastJson::Encoding
{
    template <typename OutputStream> static void Encode(OutputStream &os, unsigned codepoint)
    {
        if (codepoint >= 0xd800 && codepoint <= 0xdfff)
            codepoint = 0xfffd;
        FastJson::Encoding::Encode(os, codepoint);
    }
};

void appendValue(QString &out, const QJsonValue &value);

void appendArray(QString &out, const QJsonArray &array)
{
    out += QLatin1Char('[');
    bool first = true;
    for (const QJsonValue &item : array) {
        if (!first)
            out += QLatin1Char(',');
        first = false;
        appendValue(out, item);
    }
    out += QLatin1Char(']');
}

void appendValue(QString &out, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        out += QLatin1String("null");
        return;
    case QJsonValue::Bool:
        out += value.toBool() ? QLatin1String("true") : QLatin1String("false");
        return;
    case QJsonValue::String:
        JsonText::appendString(out, value.toString());
        return;
    case QJsonValue::Double: {
        // Whole numbers a double holds exactly are written as Qt writes them; anything else
        // (fractions, -0, huge values) is left to Qt's number formatting.
        const double d = value.toDouble();
        constexpr double exact = 9007199254740992.0; // 2^53
        if (d > -exact && d < exact && d == double(qint64(d)) && !(d == 0 && std::signbit(d))) {
            out += QString::number(qint64(d));
            return;
        }
        break;
    }
    case QJsonValue::Array:
        appendArray(out, value.toArray());
        return;
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        out += QLatin1Char('{');
        bool first = true;
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (!first)
                out += QLatin1Char(',');
            first = false;
            JsonText::appendString(out, it.key());
            out += QLatin1Char(':');
            appendValue(out, it.value());
        }
        out += QLatin1Char('}');
        return;
    }
    case QJsonValue::Undefined:
        break;
    }
    out += PacketCodec::encodeValue(value);
}

} // namespace

bool PacketCodec::decodeEngine(const QString &frame, EnginePacket *packet, QString *error)
{
    if (frame.isEmpty())
        return fail(error, QStringLiteral("empty frame"));
    const QChar c = frame.at(0);
    if (c < QLatin1Char('0') || c > QLatin1Char('6'))
        return fail(error, QStringLiteral("unknown Engine.IO packet type"));
    packet->type = EngineType(c.unicode() - '0');
    packet->data = frame.mid(1);
    return true;
}

QString PacketCodec::encodeEngine(EngineType type, const QString &data)
{
    return QString(QChar(QLatin1Char(char('0' + int(type))))) + data;
}

bool PacketCodec::decodeOpen(const QString &data, OpenInfo *info, QString *error)
{
    QJsonValue value;
    if (!decodeValue(data, &value, nullptr) || !value.isObject())
        return fail(error, QStringLiteral("open packet is not a JSON object"));
    const QJsonObject object = value.toObject();
    OpenInfo result;
    result.sid = object.value(QLatin1String("sid")).toString();
    result.pingInterval = timing(object.value(QLatin1String("pingInterval")), result.pingInterval);
    result.pingTimeout = timing(object.value(QLatin1String("pingTimeout")), result.pingTimeout);
    const QJsonValue maxPayload = object.value(QLatin1String("maxPayload"));
    if (maxPayload.isDouble() && maxPayload.toDouble() >= 1 && maxPayload.toDouble() < 9.0e15)
        result.maxPayload = qint64(maxPayload.toDouble());
    *info = result;
    return true;
}

int PacketCodec::decodeHeader(QStringView text, Packet *packet, QString *error)
{
    Header header;
    const int pos = decodeHeader(text, &header, error);
    if (pos < 0)
        return pos;
    Packet result;
    result.type = header.type;
    if (header.nsp != QLatin1String("/"))
        result.nsp = header.nsp.toString();
    result.ackId = header.ackId;
    result.attachments = header.attachments;
    *packet = result;
    return pos;
}

int PacketCodec::decodeHeader(QStringView text, Header *header, QString *error)
{
    const int size = int(text.size());
    if (size == 0)
        return failAt(error, QStringLiteral("empty packet"));
    const QChar typeChar = text.at(0);
    if (typeChar < QLatin1Char('0') || typeChar > QLatin1Char('6'))
        return failAt(error, QStringLiteral("unknown packet type"));

    Header result;
    result.type = PacketType(typeChar.unicode() - '0');
    int pos = 1;

    if (result.type == PacketType::BinaryEvent || result.type == PacketType::BinaryAck) {
        const int start = pos;
        int count = 0;
        while (pos < size && isAsciiDigit(text.at(pos)) && pos - start < 9) {
            count = count * 10 + (text.at(pos).unicode() - '0');
            ++pos;
        }
        if (pos == start || pos >= size || text.at(pos) != QLatin1Char('-'))
            return failAt(error, QStringLiteral("bad attachment count"));
        result.attachments = count;
        ++pos;
    }

    if (pos < size && text.at(pos) == QLatin1Char('/')) {
        const int comma = int(text.indexOf(QLatin1Char(','), pos));
        const int end = comma < 0 ? size : comma;
        result.nsp = text.mid(pos, end - pos);
        pos = comma < 0 ? size : comma + 1;
    }

    if (carriesAckId(result.type) && pos < size && isAsciiDigit(text.at(pos))) {
        qint64 id = 0;
        while (pos < size && isAsciiDigit(text.at(pos))) {
            id = id * 10 + (text.at(pos).unicode() - '0');
            if (id > maxAckId)
                return failAt(error, QStringLiteral("ack id out of range"));
            ++pos;
        }
        result.ackId = id;
    }

    *header = result;
    return pos;
}

bool PacketCodec::decodePacket(QStringView text, Packet *packet, QString *error)
{
    Packet result;
    const int pos = decodeHeader(text, &result, error);
    if (pos < 0)
        return false;
    const int size = int(text.size());
    if (pos < size) {
        QString jsonError;
        if (!decodeValue(text.mid(pos), &result.data, &jsonError))
            return fail(error, jsonError);
    }

    switch (result.type) {
    case PacketType::Connect:
        if (!result.data.isUndefined() && !result.data.isObject())
            return fail(error, QStringLiteral("CONNECT body is not an object"));
        break;
    case PacketType::Disconnect:
        break;
    case PacketType::Event:
    case PacketType::BinaryEvent: {
        const QJsonArray args = result.data.toArray();
        if (!result.data.isArray() || args.isEmpty() || !args.at(0).isString())
            return fail(error, QStringLiteral("EVENT body is not an array led by a name"));
        break;
    }
    case PacketType::Ack:
    case PacketType::BinaryAck:
        if (!result.hasAckId())
            return fail(error, QStringLiteral("ACK without an id"));
        if (!result.data.isArray())
            return fail(error, QStringLiteral("ACK body is not an array"));
        break;
    case PacketType::ConnectError:
        break;
    }
    *packet = result;
    return true;
}

void PacketCodec::appendHeader(QString &out, PacketType type, QStringView nsp, qint64 ackId)
{
    out += QChar(QLatin1Char(char('0' + int(type))));
    if (!nsp.isEmpty() && nsp != QLatin1String("/")) {
        out.append(nsp.data(), int(nsp.size()));
        out += QLatin1Char(',');
    }
    if (carriesAckId(type) && ackId >= 0)
        out += QString::number(ackId);
}

QString PacketCodec::encodeEvent(const QString &event, const QJsonArray &args)
{
    QString text;
    text.reserve(int(event.size()) + 16 * (args.size() + 1));
    text += QLatin1Char('[');
    JsonText::appendString(text, event);
    for (const QJsonValue &arg : args) {
        text += QLatin1Char(',');
        appendValue(text, arg);
    }
    text += QLatin1Char(']');
    return text;
}

QString PacketCodec::encodePacket(const Packet &packet)
{
    QString text;
    if (packet.type == PacketType::BinaryEvent || packet.type == PacketType::BinaryAck) {
        text += QChar(QLatin1Char(char('0' + int(packet.type))));
        text += QString::number(packet.attachments) + QLatin1Char('-');
        if (!packet.nsp.isEmpty() && packet.nsp != QLatin1String("/"))
            text += packet.nsp + QLatin1Char(',');
        if (packet.hasAckId())
            text += QString::number(packet.ackId);
    } else {
        appendHeader(text, packet.type, packet.nsp, packet.ackId);
    }
    if (!packet.data.isUndefined())
        text += encodeValue(packet.data);
    return text;
}

QString PacketCodec::encodeValue(const QJsonValue &value)
{
    const QByteArray json = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    // Strip the wrapping brackets.
    return QString::fromUtf8(json.constData() + 1, json.size() - 2);
}

bool PacketCodec::parseJson(QStringView text, FastJson::Document *doc, JsonBuffer *buffer)
{
    // In place, strings are not copied a second time. The null ends the parse as the end of the
    // text would.
    const int size = int(text.size());
    buffer->resize(size + 1);
    const char16_t *from = text.utf16();
    char16_t *to = buffer->data();
    // Halves of surrogate pairs are looked for on the way, in the one loop that the compiler
    // turns into vector instructions.
    char16_t halves = 0;
    for (int i = 0; i < size; ++i) {
        const char16_t c = from[i];
        to[i] = c;
        halves |= char16_t((c & 0xf800) == 0xd800);
    }
    to[size] = 0;
    // The reader's own stack holds a number's digits at most: a small buffer here spares it a
    // chunk from the heap.
    alignas(16) char stack[512];
    FastJson::Pool stackPool(stack, sizeof stack);
    rapidjson::GenericReader<PeerUtf16, FastJson::Encoding, FastJson::Pool> reader(&stackPool, 256);
    rapidjson::GenericInsituStringStream<FastJson::Encoding> stream(to);
    constexpr unsigned flags = rapidjson::kParseInsituFlag | rapidjson::kParseFullPrecisionFlag;
    // Text without halves of surrogate pairs (nearly all of it) needs no check of its encoding,
    // which was a third of the cost of reading its strings.
    const JsonDepth::Outcome outcome =
        halves
            ? JsonDepth::parse<flags | rapidjson::kParseValidateEncodingFlag>(reader, *doc, stream)
            : JsonDepth::parse<flags>(reader, *doc, stream);
    return outcome == JsonDepth::Outcome::Read;
}

QStringView PacketCodec::peekEventNameView(QStringView body)
{
    // ["name", ...: only a name without escapes is taken; anything else gets the full parse.
    if (body.size() < 3 || body.at(0) != QLatin1Char('[') || body.at(1) != QLatin1Char('"'))
        return QStringView();
    const int size = body.size();
    for (int i = 2; i < size; ++i) {
        const char16_t c = body.at(i).unicode();
        if (c == '"')
            return body.mid(2, i - 2);
        if (c == '\\' || c < 0x20)
            return QStringView();
    }
    return QStringView();
}

bool PacketCodec::decodeValue(QStringView text, QJsonValue *value, QString *error)
{
    switch (PeerJson::read(text.toUtf8(), value)) {
    case JsonDepth::Outcome::Read:
        return true;
    case JsonDepth::Outcome::TooDeep:
        return fail(error, tooDeep());
    case JsonDepth::Outcome::Malformed:
        break;
    }
    return fail(error, QStringLiteral("bad JSON"));
}

QString PacketCodec::tooDeep()
{
    return QStringLiteral("JSON nested deeper than %1 levels").arg(JsonDepth::limit);
}

qint64 PacketCodec::utf8Length(QStringView text)
{
    qint64 bytes = 0;
    const int size = text.size();
    for (int i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80) {
            bytes += 1;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < size &&
                   QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3; // a lone surrogate becomes a three-byte replacement character
        }
    }
    return bytes;
}

} // namespace sio
