#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

class QNetworkReply;

// Judges a server reply: a JSON object whose `status` is non-zero on success, with the user's
// text in `errors[0].message` on failure and the payload in `data`.
class ReplyEnvelope
{
public:
    static ReplyEnvelope fromBody(const QByteArray &body);
    // A missing reply or a network error is a transport failure; the body is read otherwise.
    static ReplyEnvelope fromReply(QNetworkReply *reply);

    bool transportFailed() const { return m_transportFailed; }
    // A JSON object with a `status` member; anything else counts as no answer.
    bool answered() const { return m_answered; }
    bool success() const { return m_answered && m_status != 0; }
    int status() const { return m_status; }
    QString errorMessage() const;
    QJsonValue data() const { return m_object.value(QLatin1String("data")); }
    QJsonObject dataObject() const { return data().toObject(); }
    QJsonObject object() const { return m_object; }
    QByteArray body() const { return m_body; }

private:
    bool m_transportFailed = false;
    bool m_answered = false;
    int m_status = 0;
    QJsonObject m_object;
    QByteArray m_body;
};
