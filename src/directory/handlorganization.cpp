#include "handlorganization.h"

#include "directory/directoryjson.h"
#include "directory/handlorganizationthread.h"
#include "directory/memberbatch.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "json/jsonfield.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPair>

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
    m_quietTimer.setSingleShot(true);
    connect(&m_quietTimer, &QTimer::timeout, this, &HandlOrganization::onTimeout);
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
    m_quietTimer.stop();
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
    m_requestedIds = {ids};
    m_quietTimer.stop();

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
    m_quietTimer.stop();
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(DirectoryJson::body(reply));
    const QJsonObject data = envelope.dataObject();
    // Only a reply that lists members replaces what an earlier load brought; anything else
    // keeps it.
    if (envelope.success() && (data.value(QLatin1String("dept")).isArray() ||
                               data.value(QLatin1String("user")).isArray())) {
        // Replaced, not appended to, so a second login does not list everyone twice. The old
        // records stay allocated until this load is complete: copies of the lists handed out
        // may point at them until the receivers of the completion have rebuilt.
        appendMembers(data, nullptr, &m_quietTimer, true);
    } else {
        qCDebug(lcDirectory) << "department" << ids << "not loaded:" << reply->error()
                             << envelope.body().size() << "bytes";
    }
    m_rootDone = true;
    // Completion follows the quiet period after the last reply, this one included, so a
    // department without sub-departments (or a failed reply) still completes.
    m_quietTimer.start(quietPeriodMs);
}

void HandlOrganization::onTimeout()
{
    m_quietTimer.stop();
    // A reply slower than the quiet period is still awaited; it restarts the timer (each
    // request gives up after RequestWait::directory().limitMs(), so this ends).
    if (!m_loading || !m_rootDone || m_outstanding > 0)
        return;
    finishLoad();
}

void HandlOrganization::finishLoad()
{
    m_loading = false;
    m_runStatus = false;
    qCDebug(lcDirectory) << "organisation loaded:" << memberList().size() << "top-level members";
    emit sigHandlCompletion();
    // Every receiver has rebuilt from the new records; the replaced ones go now, children and
    // roles with them, walked without recursion.
    QList<MemberRecord *> pending =
        m_organization.update([](Organization &o) { return std::exchange(o.replaced, {}); });
    while (!pending.isEmpty()) {
        MemberRecord *record = pending.takeLast();
        pending.append(record->children);
        qDeleteAll(record->roles);
        delete record;
    }
}

void HandlOrganization::appendMembers(const QJsonObject &data, QList<MemberRecord *> *children,
                                      QTimer *quietTimer, bool replace)
{
    const MemberBatch batch = MemberBatch::read(data);
    m_organization.update([&](Organization &o) {
        if (replace) {
            o.replaced.append(o.memberList);
            o.memberList.clear();
            o.roleIndex.clear();
        }
        (children ? *children : o.memberList).append(batch.records);
        for (const auto &entry : batch.roleEntries)
            o.roleIndex.insert(entry.first, entry.second);
    });
    for (MemberRecord *department : batch.withMembers)
        requestDepartment(department->dept_id, &department->children, quietTimer);
}

void HandlOrganization::requestDepartment(const QString &deptId, QList<MemberRecord *> *children,
                                          QTimer *quietTimer)
{
    // A server that lists a department below itself would otherwise be asked forever.
    if (m_requestedIds.contains(deptId)) {
        qCDebug(lcDirectory) << "department" << deptId << "listed twice; not requested again";
        return;
    }
    m_requestedIds.insert(deptId);
    auto *request = new HandlOrganizationThread(this);
    ++m_outstanding;
    request->setREquestData(deptId, children, quietTimer);
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
    m_quietTimer.start(quietPeriodMs);
}

void HandlOrganization::settleRequest(HandlOrganizationThread *request)
{
    request->deleteLater();
    --m_outstanding;
}
