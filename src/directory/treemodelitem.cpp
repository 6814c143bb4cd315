#include "treemodelitem.h"

#include "directory/directoryjson.h"
#include "directory/treemodelitemthread.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {

// How long the caller waits for a worker beyond the worker's own request limit.
constexpr int workerGraceMs = 5000;

} // namespace

TreeModelitem::TreeModelitem(QObject *parent) : QObject(parent) {}

QString TreeModelitem::getCompanyInfor()
{
    return blockingGet(QStringLiteral("api/system/company"));
}

QString TreeModelitem::getRoleInfor()
{
    return blockingGet(QStringLiteral("api/role?page=0&response=data"));
}

QString TreeModelitem::getDepthInfor(const QString &ids)
{
    return runWorker(ids, TreeModelitemThread::DepartmentMembers);
}

QString TreeModelitem::getRoleInformation(const QString &ids)
{
    return runWorker(ids, TreeModelitemThread::RoleUsers);
}

QString TreeModelitem::blockingGet(const QString &path)
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(ServerRequest::make(ServerRequest::currentBaseUrl() + path,
                                                           ServerRequest::Body::Form, true));
    if (!ServerRequest::waitFor(reply, RequestWait::directory().limitMs()))
        qCDebug(lcDirectory) << path << "did not answer in time";
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(DirectoryJson::body(reply));
    delete reply;
    if (!envelope.answered() || envelope.status() != 1)
        return QString();
    return DirectoryJson::indentedObjectText(envelope.data());
}

QString TreeModelitem::runWorker(const QString &argument, int mode)
{
    auto *worker = new TreeModelitemThread(argument, mode);
    worker->start();
    if (!worker->wait(RequestWait::directory().limitMs() + workerGraceMs)) {
        // Never reached while the worker's own wait is bounded; if it were, the worker
        // cleans up after itself instead of blocking the caller further.
        qCWarning(lcDirectory) << "lookup worker still running; result dropped";
        connect(worker, &QThread::finished, worker, &QObject::deleteLater);
        return QString();
    }
    const QString result = worker->result();
    delete worker;
    return result;
}

QByteArray TreeModelitem::searchBody(const QString &names)
{
    const QString text = DirectoryJson::searchText(names);
    const QJsonArray like{text, QStringLiteral("like")};
    const QJsonObject multiSearch{{QStringLiteral("__relation__"), QStringLiteral("or")},
                                  {QStringLiteral("user_name"), like},
                                  {QStringLiteral("user_name_py"), like},
                                  {QStringLiteral("user_name_zm"), like}};
    return DirectoryJson::compactBody(
        {{QStringLiteral("search"), QJsonObject{{QStringLiteral("multiSearch"), multiSearch}}},
         {QStringLiteral("communicate_type"), QStringLiteral("sms")},
         {QStringLiteral("user_group_name"), text}});
}

QString TreeModelitem::findUserInfor(const QString &names)
{
    QNetworkAccessManager *manager = m_searchSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &TreeModelitem::onUserInforFinished);
    QNetworkRequest request = ServerRequest::make(
        ServerRequest::currentBaseUrl() + QStringLiteral("api/system/remind/get-reminds"),
        ServerRequest::Body::Json, true);
    // A silent server still ends the search, with the empty text.
    request.setTransferTimeout(RequestWait::directory().limitMs());
    manager->post(request, searchBody(names));
    return QString();
}

void TreeModelitem::onUserInforFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(DirectoryJson::body(reply));
    const QString contents =
        envelope.success() ? DirectoryJson::indentedObjectText(envelope.data()) : QString();
    emit sigUserInforFinished(contents);
}
