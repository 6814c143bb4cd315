#pragma once

#include <QJsonValue>
#include <QString>

namespace sio {
class Socket;
} // namespace sio

namespace LoggedEmit {

// Sends a request whose outcome the documents learn from the service's events, not from its
// acknowledgement: an answer other than "success" is only logged.
void emitLogged(sio::Socket &socket, const QString &event, const QJsonValue &payload);

} // namespace LoggedEmit
