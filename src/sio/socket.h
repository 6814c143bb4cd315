#pragma once

#include "ack.h"

#include <QHash>
#include <QJsonArray>
#include <QString>
#include <QStringView>

#include "json/fastjson.h"

#include <rapidjson/document.h>

#include <functional>
#include <memory>
#include <mutex>

namespace sio {

class ClientShared;

// One namespace of a Client ("/client"): named event handlers and emits. Obtained from
// Client::socket and shared; usable from any thread. Handlers and acknowledgement callbacks run
// on the client's I/O thread.
class Socket
{
public:
    using Handler = std::function<void(const QJsonArray &args, Ack &ack)>;
    // A handler of the busy events, given the event as the fast parser read it: the whole array,
    // name first. Called instead of the plain handler on an open namespace; the value lives only
    // for the call.
    using RawHandler = std::function<void(const FastJson::Value &event, Ack &ack)>;
    using AckCallback = std::function<void(const QJsonArray &data)>;
    // Why an emit did not go out: too large for the server (it never will), or no connection
    // to write it to (it may once there is one); or why its acknowledgement will not come: the
    // server did not answer in time, or too many answers were awaited already to send it.
    enum class Failure { TooLarge, NotConnected, TimedOut, TooManyPending };
    using FailCallback = std::function<void(Failure failure, const QString &reason)>;

    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    const QString &nsp() const { return m_nsp; }

    // One handler per event name; a later `on` replaces the earlier one.
    void on(const QString &event, Handler handler);
    // Also `on` for the same event: it still takes what arrives before the namespace opens.
    void onRaw(const QString &event, RawHandler handler);
    // Both handlers of the event.
    void off(const QString &event);
    void offAll();

    // Sends the event with its arguments. While the namespace is not open the event waits and
    // goes out once it opens. With `ack`, the server's answer is handed to it at most once; it is
    // dropped, never called, when the connection ends first or the send fails (for example a
    // frame above the server's size limit, which is refused here and never sent). `onFailure`
    // (on the I/O thread) learns of an emit that was refused or dropped unsent, and of an
    // acknowledgement not given within the client's time limit (then `ack` is never called).
    void emitEvent(const QString &event, const QJsonArray &args = QJsonArray(),
                   AckCallback ack = AckCallback(), FailCallback onFailure = FailCallback());
    // The same, but only on the namespace as it is open now: instead of waiting for it to open
    // (on a later connection, ahead of whatever its owner sends then), the emit fails with
    // NotConnected. For senders that keep their own queue and order.
    void emitNow(const QString &event, const QJsonArray &args, AckCallback ack,
                 FailCallback onFailure);

    // The handler for `event`, if any (for the I/O thread's dispatch). Shared, so a dispatch
    // costs no copy of the handler, and `on` or `off` meanwhile do not pull it from under it.
    std::shared_ptr<const Handler> handler(const QString &event) const;
    // Both at once, under one lock: the raw one, or else the plain one.
    struct Handlers
    {
        std::shared_ptr<const RawHandler> raw;
        std::shared_ptr<const Handler> plain;
    };
    Handlers handlers(QStringView event) const;

private:
    friend class Client;
    void emitOn(const QString &event, const QJsonArray &args, AckCallback ack,
                FailCallback onFailure, bool mayWait);
    Socket(const QString &nsp, std::shared_ptr<ClientShared> shared);

    const QString m_nsp;
    const std::shared_ptr<ClientShared> m_shared;
    mutable std::mutex m_mutex;
    QHash<QString, std::shared_ptr<const Handler>> m_handlers;
    QHash<QString, std::shared_ptr<const RawHandler>> m_rawHandlers;
};

} // namespace sio
