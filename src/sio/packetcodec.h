#pragma once

#include "packet.h"

#include <QJsonArray>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include "json/fastjson.h"

#include <rapidjson/document.h>

namespace sio {

// Text forms of Engine.IO and Socket.IO packets. Pure functions without state, so the decoder can
// be fed arbitrary bytes (the fuzz target does). Every decoder fails with a reason instead of
// guessing: input that does not follow the format is reported, never half-used.
class PacketCodec
{
public:
    // Ack ids above this are refused: they cannot be produced by a sane peer and would not survive
    // a round trip through a JavaScript number.
    static constexpr qint64 maxAckId = (qint64(1) << 53) - 1;

    static bool decodeEngine(const QString &frame, EnginePacket *packet, QString *error);
    static QString encodeEngine(EngineType type, const QString &data = QString());

    // Lenient: fields may be missing (defaults stay) or extra; only wrong types fail.
    static bool decodeOpen(const QString &data, OpenInfo *info, QString *error);

    // The type, namespace and ack id of a packet; the position of its JSON body, or -1.
    static int decodeHeader(QStringView text, Packet *packet, QString *error);
    // The same header read in place: `nsp` views `text` (the busy path copies nothing).
    struct Header
    {
        PacketType type = PacketType::Event;
        QStringView nsp = u"/";
        qint64 ackId = -1;
        int attachments = 0;
    };
    static int decodeHeader(QStringView text, Header *header, QString *error);
    static bool decodePacket(QStringView text, Packet *packet, QString *error);
    static QString encodePacket(const Packet &packet);

    // The body of an EVENT, [event, args...], as the same compact text Qt's writer gives, written
    // straight into UTF-16: no array is built for it and its text is not converted twice.
    static QString encodeEvent(const QString &event, const QJsonArray &args);
    // The start of a packet up to its body: type, namespace and ack id (-1: none), on `out`.
    static void appendHeader(QString &out, PacketType type, QStringView nsp, qint64 ackId);

    // Any JSON value as compact text, and back ("[" value "]" keeps Qt's parser happy with
    // scalars at the top level).
    static QString encodeValue(const QJsonValue &value);
    static bool decodeValue(QStringView text, QJsonValue *value, QString *error);
    // The reason a decoder gives for a body nested too deep: the packet is refused, but it says
    // nothing about the state of the link.
    static QString tooDeep();

    // The fast parser behind the busy events: strict JSON, numbers read in full precision. Text
    // that is no valid UTF-16 fails. It parses a copy of the text in `buffer`, in place, so the
    // document's strings point into the buffer: it must outlive the document.
    using JsonBuffer = QVarLengthArray<char16_t, 2048>;
    static bool parseJson(QStringView text, FastJson::Document *doc, JsonBuffer *buffer);
    // The event name that leads an EVENT body, found without parsing it ("" when it is not a
    // plain string at the very start).
    static QStringView peekEventNameView(QStringView body);

    // Bytes the text takes as UTF-8, counted without converting it.
    static qint64 utf8Length(QStringView text);
};

} // namespace sio
