#pragma once

#include <QJsonArray>

namespace sio {

// Handed to an event handler: whether the server asked for an acknowledgement, and the data to
// answer with. The client answers once the handler returns, with an empty array when the handler
// gave nothing, so a server waiting for the answer is never left hanging.
class Ack
{
public:
    explicit Ack(bool requested = false) : m_requested(requested) {}

    bool requested() const { return m_requested; }
    // The answer's arguments; a second call replaces the first (only one answer is sent).
    void send(const QJsonArray &data)
    {
        m_data = data;
        m_given = true;
    }
    bool given() const { return m_given; }
    const QJsonArray &data() const { return m_data; }

private:
    bool m_requested = false;
    bool m_given = false;
    QJsonArray m_data;
};

} // namespace sio
