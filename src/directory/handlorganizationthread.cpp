#include "handlorganizationthread.h"

#include "directory/directoryjson.h"
#include "directory/handlorganization.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

HandlOrganizationThread::HandlOrganizationThread(HandlOrganization *owner) : m_owner(owner) {}

HandlOrganizationThread::~HandlOrganizationThread()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void HandlOrganizationThread::setREquestData(const QString &ids, QList<MemberRecord *> *children,
                                             QTimer *quietTimer)
{
    m_ids = ids;
    m_children = children;
    m_quietTimer = quietTimer;
    QNetworkRequest request =
        ServerRequest::make(ServerRequest::currentBaseUrl() +
                                QStringLiteral("api/directive/organization-members/") + ids,
                            ServerRequest::Body::Form, true);
    // A silent server must not hold the organisation's completion back for ever.
    request.setTransferTimeout(RequestWait::directory().limitMs());
    // The loader's managers are shared by all departments (see HandlOrganization).
    QNetworkReply *reply =
        m_owner->nextManager()->post(request, QByteArrayLiteral("communicate_type =sms"));
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onfinished(reply); });
}

void HandlOrganizationThread::onfinished(QNetworkReply *reply)
{
    if (m_quietTimer)
        m_quietTimer->stop();
    m_reply = nullptr;
    reply->deleteLater();
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(DirectoryJson::body(reply));
    if (envelope.success() && envelope.data().isObject() && m_children)
        m_owner->appendMembers(envelope.dataObject(), m_children, m_quietTimer);
    else
        qCDebug(lcDirectory) << "department" << m_ids << "not loaded:" << reply->error()
                             << envelope.body().size() << "bytes";
    if (m_quietTimer)
        m_quietTimer->start(HandlOrganization::quietPeriodMs);
    m_owner->settleRequest(this);
}
