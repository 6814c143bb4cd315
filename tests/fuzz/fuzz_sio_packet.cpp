// libFuzzer target for the socket.io packet decoder: arbitrary frames must be decoded or refused
// without crashing, and whatever decodes must survive an encode/decode round trip unchanged.
// Inputs up to 1 MiB, so nesting far past the readers' limit is tried too.

#include "fuzzsetup.h"
#include "sio/packetcodec.h"
#include "json/peerjson.h"

#include <cstdint>
#include <cstdlib>

using sio::PacketCodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // WebSocket text frames reach the decoder as Qt strings made from UTF-8.
    const QString frame = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    QString error;

    sio::EnginePacket engine;
    if (!PacketCodec::decodeEngine(frame, &engine, &error))
        return 0;
    sio::OpenInfo info;
    if (engine.type == sio::EngineType::Open &&
        PacketCodec::decodeOpen(engine.data, &info, &error)) {
        // Heartbeat figures must be usable as timer intervals as they are.
        if (info.pingInterval < 1 || info.pingTimeout < 1 ||
            qint64(info.pingInterval) + info.pingTimeout > INT32_MAX || info.maxPayload < 1)
            abort();
    }
    if (engine.type != sio::EngineType::Message)
        return 0;

    // The fast parser of the busy events, and its values as Qt's.
    sio::Packet header;
    const int body = PacketCodec::decodeHeader(engine.data, &header, nullptr);
    if (body >= 0) {
        FastJson::Document doc;
        PacketCodec::JsonBuffer buffer;
        if (PacketCodec::parseJson(QStringView(engine.data).mid(body), &doc, &buffer))
            header.data = PeerJson::fromRapid(doc);
    }

    sio::Packet packet;
    if (!PacketCodec::decodePacket(engine.data, &packet, &error)) {
        if (error.isEmpty())
            abort();
        return 0;
    }
    if (packet.nsp.isEmpty() || !packet.nsp.startsWith(QLatin1Char('/')) ||
        packet.ackId > PacketCodec::maxAckId)
        abort();
    // Encoding is idempotent after one decode: numbers JSON cannot hold exactly may change once,
    // never again, and no field may drift.
    const QString once = PacketCodec::encodePacket(packet);
    sio::Packet again;
    if (!PacketCodec::decodePacket(once, &again, &error))
        abort();
    if (again.type != packet.type || again.nsp != packet.nsp || again.ackId != packet.ackId ||
        again.attachments != packet.attachments)
        abort();
    if (PacketCodec::encodePacket(again) != once)
        abort();
    // The frame limit may overcount (a lone surrogate is sent as a shorter replacement), never
    // undercount.
    if (PacketCodec::utf8Length(once) < once.toUtf8().size())
        abort();
    return 0;
}
