#include "getcompany.h"

#include "directory/directoryjson.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/serverrequest.h"
#include "json/jsonfield.h"

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

GetCompany::GetCompany(QObject *parent) : QObject(parent) {}

void GetCompany::getCompanyInfor()
{
    QNetworkAccessManager *manager = m_slot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &GetCompany::onGetCompanyInfor);
    manager->get(
        ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/system/company"),
                            ServerRequest::Body::Form, true));
}

void GetCompany::onGetCompanyInfor(QNetworkReply *reply)
{
    reply->deleteLater();
    qCDebug(lcDirectory) << "company reply error:" << reply->error();
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(DirectoryJson::body(reply));
    if (!envelope.answered())
        return;
    if (!envelope.success()) {
        qCDebug(lcDirectory) << "company refused:" << envelope.errorMessage();
        return;
    }
    // A reply without a name (or with a payload of another kind) keeps the one we have.
    const QJsonValue name = envelope.dataObject().value(QLatin1String("company_name"));
    if (!name.isString())
        return;
    m_companyName = JsonField::text(name);
    emit sigCompanyName();
}

void GetCompany::onGetOrganization(QNetworkReply *reply)
{
    reply->deleteLater();
    qCDebug(lcDirectory) << "organisation reply" << reply->error()
                         << DirectoryJson::body(reply).size() << "bytes";
}
