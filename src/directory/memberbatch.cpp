#include "memberbatch.h"

#include "net/replyenvelope.h"
#include "records/memberrecord.h"
#include "json/jsonfield.h"

#include <QJsonArray>

MemberBatch MemberBatch::read(const QJsonObject &data)
{
    MemberBatch batch;
    const QJsonArray departments = data.value(QLatin1String("dept")).toArray();
    for (const QJsonValue &value : departments) {
        const QJsonObject object = value.toObject();
        auto *record = new MemberRecord;
        record->dept_id = JsonField::integerText(object.value(QLatin1String("dept_id")));
        record->parent_id = JsonField::integerText(object.value(QLatin1String("parent_id")));
        const QJsonValue hasChildren = object.value(QLatin1String("has_children"));
        record->has_children = JsonField::integerText(hasChildren);
        record->dept_name = JsonField::text(object.value(QLatin1String("dept_name")));
        if (JsonField::integer(hasChildren) > 0)
            batch.withMembers.append(record);
        batch.records.append(record);
    }

    const QJsonArray users = data.value(QLatin1String("user")).toArray();
    for (const QJsonValue &value : users) {
        const QJsonObject object = value.toObject();
        auto *record = new MemberRecord;
        record->user_id = JsonField::id(object.value(QLatin1String("user_id")));
        record->user_name = JsonField::text(object.value(QLatin1String("user_name")));
        record->dept_name = JsonField::text(object.value(QLatin1String("dept_name")));
        record->phone_number = JsonField::text(object.value(QLatin1String("phone_number")));
        // The person card shows the e-mail address when the server sends one.
        record->email = JsonField::text(object.value(QLatin1String("email")));
        const QJsonArray roles = object.value(QLatin1String("roles")).toArray();
        for (const QJsonValue &roleValue : roles) {
            const QJsonObject roleObject = roleValue.toObject();
            auto *role = new RoleRecord;
            role->role_id = JsonField::integerText(roleObject.value(QLatin1String("role_id")));
            role->role_name = JsonField::text(roleObject.value(QLatin1String("role_name")));
            record->roles.append(role);
            // Every user of the organisation is indexed, at whatever level the user sits, so
            // the role tree lists everybody who holds a role.
            batch.roleEntries.append({role->role_name, record});
        }
        batch.records.append(record);
    }
    return batch;
}

void MemberBatch::release()
{
    // A reply's records have no children yet: their members arrive with later replies.
    for (MemberRecord *record : qAsConst(records)) {
        qDeleteAll(record->roles);
        delete record;
    }
    records.clear();
    withMembers.clear();
    roleEntries.clear();
}

std::shared_ptr<ParsedMembers> ParsedMembers::parse(const QByteArray &body, bool needsMembers)
{
    auto parsed = std::make_shared<ParsedMembers>();
    parsed->bodySize = body.size();
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(body);
    if (!envelope.success() || !envelope.data().isObject())
        return parsed;
    const QJsonObject data = envelope.dataObject();
    if (needsMembers && !data.value(QLatin1String("dept")).isArray() &&
        !data.value(QLatin1String("user")).isArray())
        return parsed;
    parsed->usable = true;
    parsed->batch = MemberBatch::read(data);
    return parsed;
}
