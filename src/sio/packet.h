#pragma once

#include <QJsonValue>
#include <QString>

namespace sio {

// Engine.IO packet types: the leading digit of every WebSocket text frame.
enum class EngineType { Open = 0, Close, Ping, Pong, Message, Upgrade, Noop };

// One Engine.IO packet as it travels in one WebSocket text frame.
struct EnginePacket
{
    EngineType type = EngineType::Noop;
    QString data;
};

// What the server's open packet tells; values the server leaves out keep these defaults.
struct OpenInfo
{
    QString sid;
    int pingInterval = 25000;
    int pingTimeout = 20000;
    qint64 maxPayload = 1000000;
};

// Socket.IO packet types: the first digit inside an Engine.IO message.
enum class PacketType { Connect = 0, Disconnect, Event, Ack, ConnectError, BinaryEvent, BinaryAck };

// One Socket.IO packet; `data` is undefined when the packet carries no JSON body.
struct Packet
{
    PacketType type = PacketType::Event;
    QString nsp = QStringLiteral("/");
    qint64 ackId = -1;
    int attachments = 0;
    QJsonValue data = QJsonValue(QJsonValue::Undefined);

    bool hasAckId() const { return ackId >= 0; }
};

} // namespace sio
