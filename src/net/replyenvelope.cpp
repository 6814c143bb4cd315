#include "replyenvelope.h"

#include "json/peerjson.h"

#include <QJsonArray>
#include <QNetworkReply>

#include <cmath>

ReplyEnvelope ReplyEnvelope::fromBody(const QByteArray &body)
{
    ReplyEnvelope envelope;
    envelope.m_body = body;
    QJsonValue document;
    if (!PeerJson::parseEscapingControls(body, &document) || !document.isObject())
        return envelope;
    envelope.m_object = document.toObject();
    const QJsonValue status = envelope.m_object.value(QLatin1String("status"));
    if (status.isUndefined())
        return envelope;
    envelope.m_answered = true;
    // A status that is not a number (or not a representable one) reads as 0, a failure.
    const double number = status.toDouble();
    if (status.isDouble() && std::isfinite(number) && std::abs(number) < 2147483647.0)
        envelope.m_status = int(number);
    return envelope;
}

ReplyEnvelope ReplyEnvelope::fromReply(QNetworkReply *reply)
{
    if (!reply || reply->error() != QNetworkReply::NoError) {
        ReplyEnvelope envelope;
        envelope.m_transportFailed = true;
        return envelope;
    }
    return fromBody(reply->readAll());
}

QString ReplyEnvelope::errorMessage() const
{
    const QJsonArray errors = m_object.value(QLatin1String("errors")).toArray();
    if (errors.isEmpty())
        return QString();
    return errors.first().toObject().value(QLatin1String("message")).toString();
}
