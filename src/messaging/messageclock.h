#pragma once

#include <QtGlobal>

#include <mutex>

// The server clock as the messaging service sees it: the offset between the server's time at
// login and the local clock, the message ids derived from it and the read marks. Message ids are
// millisecond timestamps, so two messages created within one millisecond would share an id and
// the second would replace the first wherever ids key a conversation; ids handed out here
// therefore strictly increase for the life of the process, whatever the clocks do.
class MessageClock
{
public:
    MessageClock();

    // The server's time in ms, and the local time at which it held.
    void setServerClock(qint64 serverMs, qint64 localMs);
    void setServerClock(qint64 serverMs);

    // Local time shifted onto the server's clock.
    qint64 synchronisedNow(qint64 localMs) const;
    qint64 synchronisedNow() const;

    // The synchronised now, raised above every id handed out before.
    qulonglong nextMessageId(qint64 localMs);
    qulonglong nextMessageId();

    // The mark sent with "read up to here": the elapsed time counts twice, so the mark runs ahead
    // of the clock and covers messages still on their way (the service caps it at what it sent).
    qint64 readMark(qint64 localMs) const;
    qint64 readMark() const;

    static qint64 localNow();

private:
    mutable std::mutex m_mutex;
    qint64 m_serverTime = 0;
    qint64 m_clientTime = 0;
    qulonglong m_lastId = 0;
};
