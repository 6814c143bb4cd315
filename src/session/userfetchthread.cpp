#include "userfetchthread.h"

#include "logging.h"
#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "net/servertrust.h"
#include "records/memberrecord.h"
#include "json/jsonfield.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedPointer>

namespace {

void deleteRecord(MemberRecord *record)
{
    qDeleteAll(record->roles);
    delete record;
}

} // namespace

UserFetchThread::UserFetchThread(const QNetworkRequest &request, const QByteArray &body)
    : m_request(request), m_body(body)
{}

UserFetchThread::~UserFetchThread()
{
    for (MemberRecord *record : qAsConst(m_records))
        deleteRecord(record);
}

void UserFetchThread::launch(std::unique_ptr<UserFetchThread> thread, QObject *context, Done done)
{
    UserFetchThread *worker = thread.release();
    connect(worker, &QThread::finished, context, [worker, done = std::move(done)] {
        QList<MemberRecord *> records;
        records.swap(worker->m_records);
        const bool timedOut = worker->m_timedOut;
        worker->deleteLater();
        done(records, timedOut);
    });
    worker->start(QThread::InheritPriority);
}

MemberRecord *UserFetchThread::buildRecord(const QJsonObject &user)
{
    auto *record = new MemberRecord;
    record->user_id = JsonField::id(user.value(QLatin1String("user_id")));
    record->user_name = JsonField::text(user.value(QLatin1String("user_name")));
    record->dept_name =
        JsonField::text(user.value(QLatin1String("user_has_one_system_info"))
                            .toObject()
                            .value(QLatin1String("user_system_info_belongs_to_department"))
                            .toObject()
                            .value(QLatin1String("dept_name")));
    const QJsonObject info = user.value(QLatin1String("user_has_one_info")).toObject();
    record->email = JsonField::text(info.value(QLatin1String("email")));
    record->phone_number = JsonField::text(info.value(QLatin1String("phone_number")));
    const QJsonArray roles = user.value(QLatin1String("user_has_many_role")).toArray();
    for (const QJsonValue &value : roles) {
        const QJsonObject role = value.toObject().value(QLatin1String("has_one_role")).toObject();
        auto *entry = new RoleRecord;
        entry->role_id = JsonField::integerText(role.value(QLatin1String("role_id")));
        entry->role_name = JsonField::text(role.value(QLatin1String("role_name")));
        record->roles.append(entry);
    }
    return record;
}

void UserFetchThread::run()
{
    QNetworkAccessManager manager;
    ServerTrust::watch(&manager);
    QScopedPointer<QNetworkReply> reply(m_body.isNull() ? manager.get(m_request)
                                                        : manager.post(m_request, m_body));
    m_timedOut = !ServerRequest::waitFor(reply.data(), RequestWait::signin().limitMs());
    if (m_timedOut)
        qCDebug(lcSignin) << "user fetch" << m_request.url().path() << "did not answer in time";
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply.data());
    if (!envelope.success()) {
        qCDebug(lcSignin) << "user fetch" << m_request.url().path()
                          << "failed:" << envelope.errorMessage() << envelope.body().size()
                          << "bytes";
        return;
    }
    m_records = readReply(envelope);
}
