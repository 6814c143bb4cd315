#pragma once

#include <QString>

// Where the messaging service listens: built from the server address the user chose and the
// messaging host and ports the login reply named.
class MessagingAddress
{
public:
    // "ws://" (or "wss://" for an https server address) + host + ":" + port. The host is the
    // login's messaging host (without "http://") or else the host part of the server address; the
    // port is the login's messaging port ("80" when it gave none), or its https port when the
    // server address is an https one.
    static QString build(const QString &serverIp, const QString &imHost, const QString &imPort,
                         const QString &imPortHttps);
};
