#include "inboundjson.h"

#include "messagejson.h"
#include "sio/packetcodec.h"
#include "json/fastjsonkey.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

namespace {

// Objects and arrays are rare here (an attachment descriptor): only they go through Qt's values.
QJsonValue qt(const FastJson::Value &value)
{
    return PeerJson::fromRapid(value);
}

QString download(const FastJson::Value &value)
{
    if (value.IsString())
        return JsonField::id(value);
    return value.IsObject() ? MessageJson::readDownload(qt(value)) : QString();
}

qulonglong messageId(const FastJson::Value &value)
{
    if (value.IsString())
        return MessageJson::readIdText(JsonField::id(value));
    // A number counts when it is an exact integer; a negative one is no id.
    const qint64 number = JsonField::integer(value, 0);
    return number > 0 ? qulonglong(number) : 0;
}

QStringList ids(const FastJson::Value &value)
{
    if (value.IsString())
        return MessageJson::splitIds(JsonField::id(value));
    QStringList list;
    if (!value.IsArray())
        return list;
    for (const FastJson::Value &item : value.GetArray()) {
        QString id = JsonField::id(item);
        if (!id.isEmpty())
            list << id;
    }
    return list;
}

// Senders, types and flags repeat from one message to the next. The last reading of each such
// field is kept per thread, and the same text sent again shares it instead of taking another
// copy: fewer allocations here, and less memory for the stores that keep the records.
struct Repeated
{
    QString sent;
    QString read;
    bool valid = false;
};

struct RecentFields
{
    Repeated creator;
    Repeated fileType;
    Repeated haveread;
    Repeated msgType;
    Repeated type;
    Repeated groupId;
};

thread_local RecentFields recent;

QString reread(Repeated &kept, const FastJson::Value &value, bool text)
{
    if (!value.IsString() || value.GetStringLength() > 64)
        return text ? JsonField::text(value) : JsonField::id(value);
    const QStringView sent(reinterpret_cast<const QChar *>(value.GetString()),
                           qsizetype(value.GetStringLength()));
    if (kept.valid && QStringView(kept.sent) == sent)
        return kept.read;
    kept.read = text ? JsonField::text(value) : JsonField::id(value);
    // Only removed controls make the reading differ from what was sent.
    kept.sent = kept.read.size() == sent.size() ? kept.read : sent.toString();
    kept.valid = true;
    return kept.read;
}

#define TARNEX_KEY(text) FastJson::isKey(name, text, sizeof(text) - 1)

// The sender's fields of a group message; last value of a key wins, anything but an object
// gives none.
void readSender(const FastJson::Value *from, GroupMessageRecord *group)
{
    group->userId.clear();
    group->userName.clear();
    if (!from || !from->IsObject())
        return;
    for (const auto &member : from->GetObject()) {
        const FastJson::Value &name = member.name;
        if (TARNEX_KEY("user_id"))
            group->userId = JsonField::id(member.value);
        else if (TARNEX_KEY("user_name"))
            group->userName = JsonField::text(member.value);
    }
}

void readGroupInfo(const FastJson::Value *info, GroupMessageRecord *group)
{
    group->groupName.clear();
    group->members.clear();
    if (!info || !info->IsObject())
        return;
    for (const auto &member : info->GetObject()) {
        const FastJson::Value &name = member.name;
        if (TARNEX_KEY("name"))
            group->groupName = JsonField::text(member.value);
        else if (TARNEX_KEY("group_member"))
            group->members = ids(member.value);
    }
}

// The private fields of `object`, also those of a group message; last value of a key wins.
MessageRecord readPrivate(const FastJson::Value &object, qulonglong *id, GroupMessageRecord *group)
{
    MessageRecord record;
    qulonglong msgId = 0;
    const FastJson::Value *fromDetail = nullptr;
    const FastJson::Value *info = nullptr;
    for (const auto &member : object.GetObject()) {
        const FastJson::Value &name = member.name;
        const FastJson::Value &value = member.value;
        if (TARNEX_KEY("creator"))
            record.creator = reread(recent.creator, value, false);
        else if (TARNEX_KEY("download"))
            record.download = download(value);
        else if (TARNEX_KEY("file_type"))
            record.fileType = reread(recent.fileType, value, true);
        else if (TARNEX_KEY("haveread"))
            record.haveread = reread(recent.haveread, value, true);
        else if (TARNEX_KEY("msg"))
            record.msg = JsonField::text(value);
        else if (TARNEX_KEY("msg_id"))
            msgId = messageId(value);
        else if (TARNEX_KEY("msg_type"))
            record.msgType = reread(recent.msgType, value, true);
        else if (TARNEX_KEY("send_time"))
            record.sendTime = JsonField::id(value);
        else if (TARNEX_KEY("time"))
            record.time = JsonField::id(value);
        else if (TARNEX_KEY("type"))
            record.type = reread(recent.type, value, true);
        else if (group && TARNEX_KEY("group_id"))
            group->groupId = reread(recent.groupId, value, false);
        else if (group && TARNEX_KEY("userTime"))
            group->userTime = JsonField::text(value);
        else if (group && TARNEX_KEY("fromDetail"))
            fromDetail = &value;
        else if (group && TARNEX_KEY("info"))
            info = &value;
    }
    record.msgId = QString::number(msgId);
    if (id)
        *id = msgId;
    if (group) {
        readSender(fromDetail, group);
        readGroupInfo(info, group);
    }
    return record;
}

#undef TARNEX_KEY

} // namespace

MessageRecord InboundJson::privateRecord(const FastJson::Value &object, qulonglong *id)
{
    if (!object.IsObject())
        return readPrivate(FastJson::Value(rapidjson::kObjectType), id, nullptr);
    return readPrivate(object, id, nullptr);
}

GroupMessageRecord InboundJson::groupRecord(const FastJson::Value &object, qulonglong *id)
{
    GroupMessageRecord record;
    const FastJson::Value empty(rapidjson::kObjectType);
    static_cast<MessageRecord &>(record) =
        readPrivate(object.IsObject() ? object : empty, id, &record);
    return record;
}
