#include "inboundjson.h"

#include "messagejson.h"
#include "sio/packetcodec.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

#include <cstring>

namespace {

bool isKey(const rapidjson::Value &name, const char *key, size_t length)
{
    return name.GetStringLength() == length && std::memcmp(name.GetString(), key, length) == 0;
}

// The fields are few and flat: scalars convert for nothing, objects only where they are small.
QJsonValue qt(const rapidjson::Value &value)
{
    return PeerJson::fromRapid(value);
}

// The private fields of `object`, also those of a group message; last value of a key wins.
MessageRecord readPrivate(const rapidjson::Value &object, qulonglong *id, GroupMessageRecord *group)
{
    MessageRecord record;
    qulonglong msgId = 0;
    QJsonValue fromDetail;
    QJsonValue info;
    for (const auto &member : object.GetObject()) {
        const rapidjson::Value &name = member.name;
        const rapidjson::Value &value = member.value;
#define TARNEX_KEY(text) isKey(name, text, sizeof(text) - 1)
        if (TARNEX_KEY("creator"))
            record.creator = JsonField::id(qt(value));
        else if (TARNEX_KEY("download"))
            record.download = MessageJson::readDownload(qt(value));
        else if (TARNEX_KEY("file_type"))
            record.fileType = JsonField::text(qt(value));
        else if (TARNEX_KEY("haveread"))
            record.haveread = JsonField::text(qt(value));
        else if (TARNEX_KEY("msg"))
            record.msg = JsonField::text(qt(value));
        else if (TARNEX_KEY("msg_id"))
            msgId = MessageJson::readId(qt(value));
        else if (TARNEX_KEY("msg_type"))
            record.msgType = JsonField::text(qt(value));
        else if (TARNEX_KEY("send_time"))
            record.sendTime = JsonField::id(qt(value));
        else if (TARNEX_KEY("time"))
            record.time = JsonField::id(qt(value));
        else if (TARNEX_KEY("type"))
            record.type = JsonField::text(qt(value));
        else if (group && TARNEX_KEY("group_id"))
            group->groupId = JsonField::id(qt(value));
        else if (group && TARNEX_KEY("userTime"))
            group->userTime = JsonField::text(qt(value));
        else if (group && TARNEX_KEY("fromDetail"))
            fromDetail = qt(value);
        else if (group && TARNEX_KEY("info"))
            info = qt(value);
#undef TARNEX_KEY
    }
    record.msgId = QString::number(msgId);
    if (id)
        *id = msgId;
    if (group) {
        const QJsonObject from = fromDetail.toObject();
        group->userId = JsonField::id(from.value(QLatin1String("user_id")));
        group->userName = JsonField::text(from.value(QLatin1String("user_name")));
        const QJsonObject details = info.toObject();
        group->groupName = JsonField::text(details.value(QLatin1String("name")));
        group->members = MessageJson::readIds(details.value(QLatin1String("group_member")));
    }
    return record;
}

} // namespace

MessageRecord InboundJson::privateRecord(const rapidjson::Value &object, qulonglong *id)
{
    if (!object.IsObject())
        return readPrivate(rapidjson::Value(rapidjson::kObjectType), id, nullptr);
    return readPrivate(object, id, nullptr);
}

GroupMessageRecord InboundJson::groupRecord(const rapidjson::Value &object, qulonglong *id)
{
    GroupMessageRecord record;
    const rapidjson::Value empty(rapidjson::kObjectType);
    static_cast<MessageRecord &>(record) =
        readPrivate(object.IsObject() ? object : empty, id, &record);
    return record;
}
