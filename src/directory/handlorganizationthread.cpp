#include "handlorganizationthread.h"

#include "directory/directoryjson.h"
#include "directory/handlorganization.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

HandlOrganizationThread::HandlOrganizationThread(HandlOrganization *owner) : m_owner(owner) {}

HandlOrganizationThread::~HandlOrganizationThread()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void HandlOrganizationThread::setREquestData(const QString &ids, QList<MemberRecord *> *children)
{
    m_ids = ids;
    m_children = children;
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
    m_reply = nullptr;
    reply->deleteLater();
    // Parsed on the thread pool; the loader settles this request once it has filed the reply.
    m_owner->fileDepartment(this, DirectoryJson::body(reply), reply->error());
}
