#include "loggedemit.h"

#include "logging.h"
#include "sio/socket.h"

#include <QJsonArray>

namespace LoggedEmit {

void emitLogged(sio::Socket &socket, const QString &event, const QJsonValue &payload)
{
    socket.emitEvent(event, QJsonArray{payload}, [event](const QJsonArray &ack) {
        if (ack.isEmpty() || ack.first().toString() != QLatin1String("success"))
            qCDebug(lcMessaging) << event << "acknowledged:" << ack.size() << "values";
    });
}

} // namespace LoggedEmit
