#include "treemodelitem.h"

#include "directory/directoryjson.h"
#include "directory/treemodelitemthread.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "net/silentserver.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {

// Shared by every document's instance: the server is the same. GUI thread only.
SilentServer &silentServer()
{
    static SilentServer memory(TreeModelitem::silentServerMemoryMs);
    return memory;
}

} // namespace

TreeModelitem::TreeModelitem(QObject *parent) : QObject(parent) {}

void TreeModelitem::forgetSilentServer()
{
    silentServer().forget();
}

QString TreeModelitem::getCompanyInfor()
{
    return runWorker(QString(), TreeModelitemThread::Company);
}

QString TreeModelitem::getRoleInfor()
{
    return runWorker(QString(), TreeModelitemThread::Roles);
}

QString TreeModelitem::getDepthInfor(const QString &ids)
{
    return runWorker(ids, TreeModelitemThread::DepartmentMembers);
}

QString TreeModelitem::getRoleInformation(const QString &ids)
{
    return runWorker(ids, TreeModelitemThread::RoleUsers);
}

QString TreeModelitem::runWorker(const QString &argument, int mode)
{
    if (silentServer().remembered()) {
        qCDebug(lcDirectory) << "lookup" << mode
                             << "skipped: the server did not answer a moment ago";
        return QString();
    }
    auto *worker = new TreeModelitemThread(argument, mode);
    worker->start();
    // A plain thread wait, not an event loop: no socket event or timer of the window runs
    // inside a lookup, so nothing is re-entered or reordered.
    if (!worker->wait(unsigned(callerWaitMs))) {
        qCWarning(lcDirectory) << "lookup" << mode << "did not end in time; its result is dropped";
        silentServer().settle(true);
        // The worker ends by its own request limit and deletes itself then.
        connect(worker, &QThread::finished, worker, &QObject::deleteLater);
        if (worker->isFinished())
            worker->deleteLater();
        return QString();
    }
    silentServer().settle(false);
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
