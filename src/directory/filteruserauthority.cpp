#include "filteruserauthority.h"

#include "directory/directoryjson.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/serverrequest.h"
#include "session/parameterinfor.h"
#include "json/jsonfield.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QUrl>

FilteruserAuthority::FilteruserAuthority(QObject *parent) : QObject(parent) {}

void FilteruserAuthority::requestFiltuser()
{
    // The visible-user set has no lock of its own: it is written and read on the GUI thread.
    Q_ASSERT(QThread::currentThread() == thread());
    const QString userId = ParameterInfor::instance()->userId();
    const QString url =
        ServerRequest::currentBaseUrl() +
        QStringLiteral("api/user?communicate_type=sms&filter_type=1&return_type=array&user_id=") +
        QString::fromLatin1(QUrl::toPercentEncoding(userId));
    QNetworkAccessManager *manager = m_slot.renew();
    connect(manager, &QNetworkAccessManager::finished, this,
            &FilteruserAuthority::onRequestFiltuser);
    manager->get(ServerRequest::make(url, ServerRequest::Body::Form, true));
}

bool FilteruserAuthority::justFilterUserId(const QString &userids) const
{
    return ParameterInfor::instance()->isVisibleUser(userids);
}

void FilteruserAuthority::onRequestFiltuser(QNetworkReply *reply)
{
    reply->deleteLater();
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(DirectoryJson::body(reply));
    if (!envelope.success()) {
        qCDebug(lcDirectory) << "visible users not loaded:" << envelope.body().size() << "bytes";
        return;
    }
    // A payload of another kind is no list: the set keeps what it had.
    if (!envelope.data().isArray()) {
        qCDebug(lcDirectory) << "visible users: data is no array; set kept";
        return;
    }
    ParameterInfor *parameters = ParameterInfor::instance();
    parameters->clearVisibleUsers();
    const QJsonArray ids = envelope.data().toArray();
    for (const QJsonValue &id : ids)
        parameters->insertVisibleUser(JsonField::id(id));
    emit sigFiltuserLoaded();
}
