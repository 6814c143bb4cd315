#include "treemodelitemthread.h"

#include "directory/directoryjson.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

TreeModelitemThread::TreeModelitemThread(const QString &argument, int mode, QObject *parent)
    : QThread(parent)
    , m_argument(argument)
    , m_mode(mode)
    , m_request(requestFor(argument, mode))
    , m_body(bodyFor(argument, mode))
{}

QNetworkRequest TreeModelitemThread::requestFor(const QString &argument, int mode)
{
    const QString base = ServerRequest::currentBaseUrl();
    if (mode == Company)
        return ServerRequest::make(base + QStringLiteral("api/system/company"),
                                   ServerRequest::Body::Form, true);
    if (mode == Roles)
        return ServerRequest::make(base + QStringLiteral("api/role?page=0&response=data"),
                                   ServerRequest::Body::Form, true);
    if (mode == DepartmentMembers)
        return ServerRequest::make(base + QStringLiteral("api/directive/organization-members/") +
                                       argument,
                                   ServerRequest::Body::Form, true);
    return ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/user/users"),
                               ServerRequest::Body::Json, true);
}

QByteArray TreeModelitemThread::bodyFor(const QString &argument, int mode)
{
    if (mode == Company || mode == Roles)
        return QByteArray();
    if (mode == DepartmentMembers)
        return QByteArrayLiteral("communicate_type =sms");
    const QJsonObject roleFilter{
        {QStringLiteral("role_id"), QJsonArray{DirectoryJson::searchText(argument)}}};
    return DirectoryJson::compactBody(QJsonObject{{QStringLiteral("search"), roleFilter}});
}

void TreeModelitemThread::run()
{
    QNetworkAccessManager manager;
    QNetworkReply *reply =
        m_body.isNull() ? manager.get(m_request) : manager.post(m_request, m_body);
    if (!ServerRequest::waitFor(reply, RequestWait::directory().limitMs()))
        qCDebug(lcDirectory) << "lookup" << m_mode << m_argument << "did not answer in time";
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(DirectoryJson::body(reply));
    delete reply;
    const bool strict = m_mode == Company || m_mode == Roles;
    const bool answered =
        strict ? envelope.answered() && envelope.status() == 1 : envelope.success();
    m_result = answered ? DirectoryJson::indentedObjectText(envelope.data()) : QString();
}
