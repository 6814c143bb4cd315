#include "socket.h"

#include "clientcore.h"
#include "clientshared.h"
#include "packetcodec.h"
#include "siolog.h"

namespace sio {

Socket::Socket(const QString &nsp, std::shared_ptr<ClientShared> shared)
    : m_nsp(nsp), m_shared(std::move(shared))
{}

void Socket::on(const QString &event, Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers.insert(event, std::make_shared<const Handler>(std::move(handler)));
}

void Socket::onRaw(const QString &event, RawHandler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rawHandlers.insert(event, std::make_shared<const RawHandler>(std::move(handler)));
}

void Socket::off(const QString &event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers.remove(event);
    m_rawHandlers.remove(event);
}

void Socket::offAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers.clear();
    m_rawHandlers.clear();
}

Socket::Handlers Socket::handlers(QStringView event) const
{
    // The name as a view of the frame, for the lookup only: no copy of it.
    const QString key = QString::fromRawData(event.data(), int(event.size()));
    Handlers found;
    std::lock_guard<std::mutex> lock(m_mutex);
    found.raw = m_rawHandlers.value(key);
    if (!found.raw || !*found.raw)
        found.plain = m_handlers.value(key);
    return found;
}

std::shared_ptr<const Socket::Handler> Socket::handler(const QString &event) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handlers.value(event);
}

void Socket::emitEvent(const QString &event, const QJsonArray &args, AckCallback ack,
                       FailCallback onFailure)
{
    emitOn(event, args, std::move(ack), std::move(onFailure), true);
}

void Socket::emitNow(const QString &event, const QJsonArray &args, AckCallback ack,
                     FailCallback onFailure)
{
    emitOn(event, args, std::move(ack), std::move(onFailure), false);
}

void Socket::emitOn(const QString &event, const QJsonArray &args, AckCallback ack,
                    FailCallback onFailure, bool mayWait)
{
    // Encoded here, on the caller's thread: the I/O thread only frames and sends.
    const QString json = PacketCodec::encodeEvent(event, args);
    const bool queued =
        m_shared->run([nsp = m_nsp, event, json, ack = std::move(ack),
                       onFailure = std::move(onFailure), mayWait](ClientCore *core) mutable {
            core->emitEvent(nsp, event, json, std::move(ack), std::move(onFailure), mayWait);
        });
    if (!queued)
        qCInfo(lcSio) << "emit of" << event << "on" << m_nsp << "dropped: the client is gone";
}

} // namespace sio
