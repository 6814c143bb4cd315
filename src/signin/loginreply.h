#pragma once

#include <QByteArray>
#include <QString>

class ReplyEnvelope;

// A successful login reply, read once and handed to the stores the same way by the password
// login and by the QR-code loader: the module menu, the web-client address and the login
// parameters. The messaging engine's clock and identity are handed over by the sign-in's owner
// (LoginRequest), which sits above messaging. The token is left to the caller, which stores it
// last so that no data request starts before the other values are in place.
class LoginReply
{
public:
    // Reads the members of a successful reply; missing members read as the empty text.
    static LoginReply read(const ReplyEnvelope &envelope);

    // A reply without a token or without a user id cannot sign anybody in; it must not touch
    // the stores.
    bool usable() const { return !m_token.isEmpty() && !m_userId.isEmpty(); }

    // Hands everything but the token and the messaging identity to the stores. Safe from the
    // QR-code loader's thread.
    void distribute() const;

    QString token() const { return m_token; }
    QString userId() const { return m_userId; }
    QString userName() const { return m_userName; }
    QString deptName() const { return m_deptName; }
    QString roleName() const { return m_roleName; }
    QString systemInfo() const { return m_systemInfo; }
    QString imHost() const { return m_imHost; }
    QString imPort() const { return m_imPort; }
    QString imPortHttps() const { return m_imPortHttps; }
    bool hasClientUrl() const { return m_hasClientUrl; }
    QString clientUrl() const { return m_clientUrl; }
    bool hasServerClock() const { return m_hasServerClock; }
    qint64 serverClock() const { return m_serverClock; }

private:
    QByteArray m_body;
    QString m_token;
    QString m_userId;
    QString m_userName;
    QString m_deptName;
    QString m_roleName;
    QString m_systemInfo;
    QString m_imHost;
    QString m_imPort;
    QString m_imPortHttps;
    bool m_hasClientUrl = false;
    QString m_clientUrl;
    bool m_hasServerClock = false;
    qint64 m_serverClock = 0;
};
