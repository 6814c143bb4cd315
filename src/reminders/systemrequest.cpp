#include "systemrequest.h"

#include "logging.h"
#include "net/replyenvelope.h"
#include "net/serverrequest.h"
#include "reminders/remindreply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

namespace {

// Values go into the address percent-encoded, so a "&", "#" or "+" in them cannot cut or
// change the query the server reads.
QString encoded(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString listFailureText(const ReplyEnvelope &envelope)
{
    return tarnex::reminders::failureText(envelope, QStringLiteral("system_message_fail"),
                                          QStringLiteral("系统消息获取失败"));
}

QString readFailureText(const ReplyEnvelope &envelope)
{
    return tarnex::reminders::failureText(envelope, QStringLiteral("set_read_fail"),
                                          QStringLiteral("设置已读失败"));
}

} // namespace

SystemRequest::SystemRequest(QObject *parent) : QObject(parent) {}

SystemRequest::Lane &SystemRequest::lane(Channel channel)
{
    switch (channel) {
    case ReadOneChannel:
        return m_readOne;
    case ReadModuleChannel:
        return m_readModule;
    case ListChannel:
        break;
    }
    return m_list;
}

bool SystemRequest::isBusy(Channel channel) const
{
    switch (channel) {
    case ReadOneChannel:
        return m_readOne.busy;
    case ReadModuleChannel:
        return m_readModule.busy;
    case ListChannel:
        break;
    }
    return m_list.busy;
}

void SystemRequest::send(Channel channel, const QString &pathAndQuery,
                         void (SystemRequest::*onReply)(QNetworkReply *))
{
    Lane &current = lane(channel);
    if (current.busy) {
        qCDebug(lcReminders) << "request channel" << channel << "busy; dropped" << pathAndQuery;
        return;
    }
    current.busy = true;
    QNetworkAccessManager *manager = current.slot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, onReply);
    QNetworkRequest request = ServerRequest::make(ServerRequest::currentBaseUrl() + pathAndQuery,
                                                  ServerRequest::Body::Form, true);
    tarnex::reminders::applyReplyLimit(request);
    qCDebug(lcReminders) << "request" << request.url();
    manager->get(request);
}

void SystemRequest::requestSystemInfor(const QString &menus, const QString &flags,
                                       const QString &pages)
{
    const QJsonObject search{{QStringLiteral("remind_flag"), QJsonArray{flags}},
                             {QStringLiteral("sms_menu"), QJsonArray{menus}}};
    QString searchText = QString::fromUtf8(QJsonDocument(search).toJson(QJsonDocument::Indented));
    searchText.remove(QLatin1Char('\n')).remove(QLatin1Char('\t'));
    send(ListChannel,
         QStringLiteral("api/system-sms?page=") + encoded(pages) + QStringLiteral("&search=") +
             encoded(searchText),
         &SystemRequest::onRequestSystemInfor);
}

void SystemRequest::setReadSignInformation(const QString &ids)
{
    send(ReadOneChannel, QStringLiteral("api/system-sms/") + encoded(ids),
         &SystemRequest::onReadSignInformation);
}

void SystemRequest::setReadSignModule(const QString &infors)
{
    send(ReadModuleChannel,
         QStringLiteral("api/system-sms") + QStringLiteral("/sign/read?") +
             QStringLiteral("menu=") + encoded(infors),
         &SystemRequest::onReadSignModule);
}

void SystemRequest::onRequestSystemInfor(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
    m_list.busy = false;
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply);
    // The documents read the page out of the body; only a successful page reaches them, so a
    // refusal or a stray document never passes for an empty list.
    if (!envelope.success()) {
        qCDebug(lcReminders) << "reminder page failed:" << envelope.body().size() << "bytes";
        emit sigRequestStatus(false, ListChannel, listFailureText(envelope));
        emit sigRequestSystemInfor(QStringLiteral("errors"));
        return;
    }
    emit sigRequestStatus(true, ListChannel, QString());
    emit sigRequestSystemInfor(QString::fromUtf8(envelope.body()));
}

bool SystemRequest::judgeReadReply(QNetworkReply *reply, Channel channel)
{
    if (reply)
        reply->deleteLater();
    lane(channel).busy = false;
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply);
    if (envelope.transportFailed()) {
        emit sigRequestStatus(false, channel, readFailureText(envelope));
        return false;
    }
    // The server answered, so what the documents show may have changed either way.
    emit sigRetSetStatus();
    qCDebug(lcReminders) << "mark read reply:" << envelope.body().size() << "bytes";
    if (!envelope.success()) {
        emit sigRequestStatus(false, channel, readFailureText(envelope));
        return false;
    }
    emit sigRequestStatus(true, channel, QString());
    return true;
}

void SystemRequest::onReadSignInformation(QNetworkReply *reply)
{
    judgeReadReply(reply, ReadOneChannel);
}

void SystemRequest::onReadSignModule(QNetworkReply *reply)
{
    if (judgeReadReply(reply, ReadModuleChannel))
        emit sigReadSignModule();
}
