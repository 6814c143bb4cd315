#pragma once

#include <QMap>
#include <QString>
#include <QUrl>

namespace sio {

// Builds the WebSocket address of one connection attempt from the owner's base address and query.
class EngineUrl
{
public:
    // Query keys the protocol itself uses; the owner's query never sets them.
    static bool isReserved(const QString &key);

    // ws[s]://host[:port]<path>?EIO=<version>&transport=websocket&<query>. http and https map to
    // ws and wss; an empty path becomes "/socket.io/". Keys and values are percent-encoded,
    // reserved keys are left out (and logged). Returns an invalid QUrl when `base` cannot be used.
    static QUrl build(const QUrl &base, int engineVersion, const QMap<QString, QString> &query);

    // The server address that the generation memory is keyed by: "ws[s]://host:port".
    static QString serverKey(const QUrl &base);
};

} // namespace sio
