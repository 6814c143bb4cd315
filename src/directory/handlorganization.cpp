#include "handlorganization.h"

#include "concurrency/poolmemory.h"
#include "directory/directoryjson.h"
#include "directory/handlorganizationthread.h"
#include "directory/memberbatch.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "json/jsonfield.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPair>
#include <QTimer>
#include <QWaitCondition>
#include <QtConcurrent>

#include <utility>

HandlOrganization *HandlOrganization::gestance()
{
    static HandlOrganization *single = new HandlOrganization;
    return single;
}

HandlOrganization::HandlOrganization()
{
    for (int i = 0; i < managerCount; ++i)
        m_managers << new QNetworkAccessManager(this);
    // Emitted from the thread body, this crosses to the owning thread queued; emitted there,
    // it runs at once.
    connect(this, &HandlOrganization::sigHandlOrganization, this,
            &HandlOrganization::onHandlOrganization);
}

void HandlOrganization::start(Priority priority)
{
    m_runStatus = true;
    QThread::start(priority);
}

QNetworkAccessManager *HandlOrganization::nextManager()
{
    m_nextManager = (m_nextManager + 1) % m_managers.size();
    return m_managers.at(m_nextManager);
}

void HandlOrganization::run()
{
    m_runStatus = true;
    // Requests and replies belong to the owning thread's event loop; hand the load over.
    emit sigHandlOrganization(rootDepartmentId());
}

namespace {

struct Walks
{
    QMutex mutex;
    QWaitCondition ended;
    int count = 0;
};

Walks &walks()
{
    static Walks all;
    return all;
}

// True once no walk of the records is under way, false after `ms` without that.
bool waitForWalks(int ms)
{
    Walks &all = walks();
    QMutexLocker lock(&all.mutex);
    QDeadlineTimer deadline(ms);
    while (all.count > 0) {
        if (!all.ended.wait(&all.mutex, deadline))
            return all.count == 0;
    }
    return true;
}

} // namespace

std::shared_ptr<void> HandlOrganization::walkRecords()
{
    Walks &all = walks();
    {
        QMutexLocker lock(&all.mutex);
        ++all.count;
    }
    return std::shared_ptr<void>(nullptr, [](void *) {
        Walks &all = walks();
        QMutexLocker lock(&all.mutex);
        if (--all.count == 0)
            all.ended.wakeAll();
    });
}

QList<MemberRecord *> HandlOrganization::memberList() const
{
    return m_organization.read([](const Organization &o) { return o.memberList; });
}

QList<MemberRecord *> HandlOrganization::swapMembersForTests(QList<MemberRecord *> members)
{
    return m_organization.update(
        [&members](Organization &o) { return std::exchange(o.memberList, std::move(members)); });
}

QMultiMap<QString, MemberRecord *> HandlOrganization::roleIndex() const
{
    return m_organization.read([](const Organization &o) { return o.roleIndex; });
}

QString HandlOrganization::companyName() const
{
    return m_organization.read([](const Organization &o) { return o.companyName; });
}

QString HandlOrganization::address() const
{
    return m_organization.read([](const Organization &o) { return o.address; });
}

QString HandlOrganization::zipCode() const
{
    return m_organization.read([](const Organization &o) { return o.zipCode; });
}

void HandlOrganization::forgetAccount()
{
    Q_ASSERT(QThread::currentThread() == thread());
    // Parses still running on the pool are dropped when they come back.
    ++m_generation;
    // Each department's request aborts its reply as it goes.
    qDeleteAll(findChildren<HandlOrganizationThread *>(QString(), Qt::FindDirectChildrenOnly));
    for (QNetworkAccessManager *manager : qAsConst(m_managers)) {
        for (QNetworkReply *reply : manager->findChildren<QNetworkReply *>()) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
    }
    m_loading = false;
    m_runStatus = false;
    m_rootDone = false;
    m_outstanding = 0;
    m_requestedIds.clear();
    m_organization.update([](Organization &o) {
        o.replaced.append(o.memberList);
        o.memberList.clear();
        o.roleIndex.clear();
        o.companyName.clear();
        o.address.clear();
        o.zipCode.clear();
    });
}

void HandlOrganization::onHandlOrganization(const QString &ids)
{
    qCDebug(lcDirectory) << "HandlOrganization::onHandlOrganization ==" << ids;
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_loading) {
        // The running load announces its completion to every waiter.
        qCDebug(lcDirectory) << "organisation load already running; request for" << ids
                             << "ignored";
        return;
    }
    m_loading = true;
    m_runStatus = true;
    m_rootDone = false;
    m_outstanding = 0;
    m_steps.reset();
    ++m_generation;
    m_requestedIds = {ids};
    emit sigLoadStarted();

    requestCompany();
    QNetworkRequest request =
        ServerRequest::make(ServerRequest::currentBaseUrl() +
                                QStringLiteral("api/directive/organization-members/") + ids,
                            ServerRequest::Body::Form, true);
    // Asynchronous like the levels below: a silent server holds the completion back for at most
    // this limit, and the window never.
    request.setTransferTimeout(RequestWait::directory().limitMs());
    QNetworkReply *reply = nextManager()->post(request, QByteArrayLiteral("communicate_type =sms"));
    connect(reply, &QNetworkReply::finished, this, [this, reply, ids] { onRootReply(reply, ids); });
}

void HandlOrganization::onRootReply(QNetworkReply *reply, const QString &ids)
{
    reply->deleteLater();
    const QNetworkReply::NetworkError error = reply->error();
    const int generation = m_generation;
    QtConcurrent::run([this, body = DirectoryJson::body(reply), ids, error, generation] {
        // Only a reply that lists members replaces what an earlier load brought; anything else
        // keeps it.
        std::shared_ptr<ParsedMembers> parsed = ParsedMembers::parse(body, true);
        QMetaObject::invokeMethod(
            this,
            [this, parsed, ids, error, generation] {
                if (generation != m_generation)
                    return;
                if (!parsed->usable)
                    qCDebug(lcDirectory) << "department" << ids << "not loaded:" << error
                                         << parsed->bodySize << "bytes";
                onRootBatch(*parsed);
            },
            Qt::QueuedConnection);
    });
}

void HandlOrganization::onRootBatch(ParsedMembers &parsed)
{
    if (parsed.usable) {
        // Replaced, not appended to, so a second login does not list everyone twice. The old
        // records stay allocated until this load is complete: copies of the lists handed out
        // may point at them until the receivers of the completion have rebuilt.
        appendMembers(parsed.batch, nullptr, true);
    }
    m_rootDone = true;
    // A department without sub-departments (or a failed reply) completes here.
    finishWhenSettled();
}

void HandlOrganization::finishWhenSettled()
{
    if (!m_loading || !m_rootDone || m_outstanding > 0)
        return;
    const int generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        // Each request gives up after RequestWait::directory().limitMs(), so a load ends.
        if (generation == m_generation && m_loading && m_rootDone && m_outstanding == 0)
            finishLoad();
    });
}

void HandlOrganization::finishLoad()
{
    m_loading = false;
    m_runStatus = false;
    m_steps.start();
    // Walks begun at the previous completion read the records this load replaced; the walks of
    // this load's records begin only now.
    const bool walksEnded = waitForWalks(walkWaitMs);
    emit sigHandlCompletion();
    // Every receiver has rebuilt from the new records; the replaced ones go now, children and
    // roles with them, walked without recursion.
    QList<MemberRecord *> pending;
    if (walksEnded)
        pending =
            m_organization.update([](Organization &o) { return std::exchange(o.replaced, {}); });
    else
        qCWarning(lcDirectory)
            << "the replaced records are still walked; freed after the next load";
    while (!pending.isEmpty()) {
        MemberRecord *record = pending.takeLast();
        pending.append(record->children);
        qDeleteAll(record->roles);
        delete record;
    }
    // The receivers' rebuilding counts as one step of the load.
    m_steps.stop();
    releasePoolMemory();
    qCDebug(lcDirectory).nospace().noquote()
        << "organisation loaded: " << memberList().size()
        << " top-level members, longest step on the GUI thread " << m_steps.longestText();
}

void HandlOrganization::appendMembers(MemberBatch &batch, QList<MemberRecord *> *children,
                                      bool replace)
{
    m_steps.start();
    m_organization.update([&](Organization &o) {
        if (replace) {
            o.replaced.append(o.memberList);
            o.memberList.clear();
            o.roleIndex.clear();
        }
        (children ? *children : o.memberList).append(batch.records);
        for (const auto &entry : qAsConst(batch.roleEntries))
            o.roleIndex.insert(entry.first, entry.second);
    });
    const QList<MemberRecord *> withMembers = std::exchange(batch.withMembers, {});
    // Filed: the stores own the records now.
    batch.records.clear();
    batch.roleEntries.clear();
    for (MemberRecord *department : withMembers)
        requestDepartment(department->dept_id, &department->children);
    m_steps.stop();
}

void HandlOrganization::requestDepartment(const QString &deptId, QList<MemberRecord *> *children)
{
    // A server that lists a department below itself would otherwise be asked forever.
    if (m_requestedIds.contains(deptId)) {
        qCDebug(lcDirectory) << "department" << deptId << "listed twice; not requested again";
        return;
    }
    m_requestedIds.insert(deptId);
    auto *request = new HandlOrganizationThread(this);
    ++m_outstanding;
    request->setREquestData(deptId, children);
}

void HandlOrganization::fileDepartment(HandlOrganizationThread *request, const QByteArray &body,
                                       QNetworkReply::NetworkError error)
{
    const int generation = m_generation;
    QtConcurrent::run([this, request, body, error, generation] {
        std::shared_ptr<ParsedMembers> parsed = ParsedMembers::parse(body, false);
        QMetaObject::invokeMethod(
            this,
            [this, request, parsed, error, generation] {
                // An abandoned load has deleted its requests; a current one deletes a request
                // only here, so `request` is alive.
                if (generation != m_generation)
                    return;
                if (parsed->usable && request->m_children)
                    appendMembers(parsed->batch, request->m_children);
                else
                    qCDebug(lcDirectory) << "department" << request->departmentId()
                                         << "not loaded:" << error << parsed->bodySize << "bytes";
                settleRequest(request);
            },
            Qt::QueuedConnection);
    });
}

void HandlOrganization::requestCompany()
{
    QNetworkRequest request =
        ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/system/company"),
                            ServerRequest::Body::Form, true);
    request.setTransferTimeout(RequestWait::directory().limitMs());
    QNetworkReply *reply = nextManager()->get(request);
    ++m_outstanding;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onCompanyReply(reply); });
}

void HandlOrganization::onCompanyReply(QNetworkReply *reply)
{
    reply->deleteLater();
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(DirectoryJson::body(reply));
    const QJsonObject data = envelope.dataObject();
    if (envelope.success()) {
        m_organization.update([&](Organization &o) {
            // Only the members the server sent replace what is known.
            const QJsonValue name = data.value(QLatin1String("company_name"));
            if (name.isString())
                o.companyName = JsonField::text(name);
            const QJsonValue address = data.value(QLatin1String("address"));
            if (address.isString())
                o.address = JsonField::text(address);
            const QJsonValue zipCode = data.value(QLatin1String("zip_code"));
            if (zipCode.isString())
                o.zipCode = JsonField::text(zipCode);
        });
    } else {
        qCDebug(lcDirectory) << "company not loaded:" << envelope.body().size() << "bytes";
    }
    --m_outstanding;
    finishWhenSettled();
}

void HandlOrganization::settleRequest(HandlOrganizationThread *request)
{
    request->deleteLater();
    --m_outstanding;
    finishWhenSettled();
}
