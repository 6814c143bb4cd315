#include "messagejson.h"

#include "json/jsonfield.h"
#include "json/jsontext.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTime>

namespace {

// The records' texts are the indented JSON of one flat object with the line feeds left out;
// what comes between a member's separator and its value.
#define TARNEX_MEMBER(key) QStringView(u"    \"" key "\": ")

int recordSize(const MessageRecord &record)
{
    return 256 + record.creator.size() + record.download.size() + record.fileType.size() +
           record.msg.size() + record.msgType.size();
}

} // namespace

qulonglong MessageJson::readId(const QJsonValue &value)
{
    if (value.isString())
        return readIdText(value.toString());
    // A number counts when it is an exact integer; a negative one is no id.
    const qint64 number = JsonField::integer(value, 0);
    return number > 0 ? qulonglong(number) : 0;
}

qulonglong MessageJson::readIdText(const QString &sent)
{
    const QString text = sent.trimmed();
    if (text.isEmpty() || text.size() > 20)
        return 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    bool ok = false;
    const qulonglong id = text.toULongLong(&ok);
    return ok ? id : 0;
}

int MessageJson::readCount(const QJsonValue &value, int fallback)
{
    return JsonField::smallInteger(value, fallback);
}

QString MessageJson::readDownload(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (!value.isObject())
        return QString();
    QString text =
        QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    text.remove(QLatin1Char('\n'));
    text.remove(QLatin1Char(' '));
    return text;
}

QStringList MessageJson::splitIds(const QString &joined)
{
    return joined.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

QStringList MessageJson::readIds(const QJsonValue &value)
{
    if (value.isString())
        return splitIds(value.toString());
    QStringList ids;
    if (!value.isArray())
        return ids;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &item : array) {
        const QString id = JsonField::id(item);
        if (!id.isEmpty())
            ids << id;
    }
    return ids;
}

MessageRecord MessageJson::privateRecord(const QJsonObject &object, qulonglong *id)
{
    MessageRecord record;
    record.creator = JsonField::id(object.value(QLatin1String("creator")));
    record.download = readDownload(object.value(QLatin1String("download")));
    record.fileType = JsonField::text(object.value(QLatin1String("file_type")));
    record.haveread = JsonField::text(object.value(QLatin1String("haveread")));
    record.msg = JsonField::text(object.value(QLatin1String("msg")));
    const qulonglong msgId = readId(object.value(QLatin1String("msg_id")));
    if (id)
        *id = msgId;
    record.msgId = QString::number(msgId);
    record.msgType = JsonField::text(object.value(QLatin1String("msg_type")));
    record.sendTime = JsonField::id(object.value(QLatin1String("send_time")));
    record.time = JsonField::id(object.value(QLatin1String("time")));
    record.type = JsonField::text(object.value(QLatin1String("type")));
    return record;
}

GroupMessageRecord MessageJson::groupRecord(const QJsonObject &object, qulonglong *id)
{
    GroupMessageRecord record;
    static_cast<MessageRecord &>(record) = privateRecord(object, id);
    record.groupId = JsonField::id(object.value(QLatin1String("group_id")));
    record.userTime = JsonField::text(object.value(QLatin1String("userTime")));
    const QJsonObject from = object.value(QLatin1String("fromDetail")).toObject();
    record.userId = JsonField::id(from.value(QLatin1String("user_id")));
    record.userName = JsonField::text(from.value(QLatin1String("user_name")));
    const QJsonObject info = object.value(QLatin1String("info")).toObject();
    record.groupName = JsonField::text(info.value(QLatin1String("name")));
    record.members = readIds(info.value(QLatin1String("group_member")));
    return record;
}

GroupEntry MessageJson::groupEntry(const QJsonObject &object)
{
    GroupEntry entry;
    entry.id = JsonField::id(object.value(QLatin1String("id")));
    entry.creator = JsonField::id(object.value(QLatin1String("creator")));
    entry.name = JsonField::text(object.value(QLatin1String("name")));
    entry.createTime = JsonField::id(object.value(QLatin1String("create_time")));
    entry.updateTime = JsonField::id(object.value(QLatin1String("update_time")));
    entry.members = readIds(object.value(QLatin1String("members")));
    return entry;
}

QJsonObject MessageJson::groupObject(const GroupEntry &entry)
{
    return QJsonObject{{QLatin1String("id"), entry.id},
                       {QLatin1String("creator"), entry.creator},
                       {QLatin1String("name"), entry.name},
                       {QLatin1String("create_time"), entry.createTime},
                       {QLatin1String("update_time"), entry.updateTime},
                       {QLatin1String("members"), entry.members.join(QLatin1Char(','))}};
}

QString MessageJson::privateText(const MessageRecord &record)
{
    JsonText::ObjectText text(recordSize(record));
    text.add(TARNEX_MEMBER("creator"), record.creator);
    text.add(TARNEX_MEMBER("download"), record.download);
    text.add(TARNEX_MEMBER("file_type"), record.fileType);
    text.add(TARNEX_MEMBER("haveread"), record.haveread);
    text.add(TARNEX_MEMBER("msg"), record.msg);
    text.add(TARNEX_MEMBER("msg_id"), record.msgId);
    text.add(TARNEX_MEMBER("msg_type"), record.msgType);
    text.add(TARNEX_MEMBER("send_time"), formatSendTime(record.sendTime));
    text.add(TARNEX_MEMBER("time"), record.time);
    text.add(TARNEX_MEMBER("type"), record.type);
    text.add(TARNEX_MEMBER("sendStatus"), record.sendStatus);
    if (record.local)
        text.add(TARNEX_MEMBER("local"), QStringLiteral("1"));
    return text.finish();
}

QString MessageJson::groupText(const GroupMessageRecord &record, bool isSelf)
{
    JsonText::ObjectText text(recordSize(record) + 128 + record.userName.size() +
                              record.groupName.size());
    text.add(TARNEX_MEMBER("creator"), record.creator);
    text.add(TARNEX_MEMBER("file_type"), record.fileType);
    text.add(TARNEX_MEMBER("msg"), record.msg);
    text.add(TARNEX_MEMBER("msg_id"), record.msgId);
    text.add(TARNEX_MEMBER("msg_type"), record.msgType);
    text.add(TARNEX_MEMBER("send_time"), formatSendTime(record.sendTime));
    text.add(TARNEX_MEMBER("time"), record.time);
    text.add(TARNEX_MEMBER("type"), record.type);
    text.add(TARNEX_MEMBER("user_id"), record.userId);
    text.add(TARNEX_MEMBER("user_name"), record.userName);
    text.add(TARNEX_MEMBER("group_name"), record.groupName);
    text.add(TARNEX_MEMBER("unread"), record.unread);
    text.add(TARNEX_MEMBER("sendStatus"), record.sendStatus);
    text.add(TARNEX_MEMBER("download"), record.download);
    text.add(TARNEX_MEMBER("isSelf"), isSelf);
    if (record.local)
        text.add(TARNEX_MEMBER("local"), QStringLiteral("1"));
    return text.finish();
}

#undef TARNEX_MEMBER

namespace {

// One local day: each conversion to local time asks the C library, which looks at the time zone
// file every time, so the texts of a conversation would cost a file system call per message.
// Within a day without a clock change the time of day is plain arithmetic.
struct LocalDay
{
    qint64 startMs = 1;
    qint64 endMs = 0;
    QString date; // "yyyy-MM-dd "
};

thread_local LocalDay localDay;

void appendTwoDigits(QString &out, int value)
{
    out += QLatin1Char(char('0' + value / 10));
    out += QLatin1Char(char('0' + value % 10));
}

} // namespace

QString MessageJson::formatTime(qint64 ms)
{
    LocalDay &day = localDay;
    if (ms >= day.startMs && ms < day.endMs) {
        const int seconds = int((ms - day.startMs) / 1000);
        QString text;
        text.reserve(19);
        text += day.date;
        appendTwoDigits(text, seconds / 3600);
        text += QLatin1Char(':');
        appendTwoDigits(text, seconds / 60 % 60);
        text += QLatin1Char(':');
        appendTwoDigits(text, seconds % 60);
        return text;
    }
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms);
    const QString text = time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!time.isValid())
        return text;
    const QDate date = time.date();
    const QDateTime start(date, QTime(0, 0));
    const QDateTime end(date.addDays(1), QTime(0, 0));
    if (start.isValid() && end.isValid() && start.offsetFromUtc() == end.offsetFromUtc() &&
        start.msecsTo(end) == 86400000) {
        day.startMs = start.toMSecsSinceEpoch();
        day.endMs = end.toMSecsSinceEpoch();
        day.date = text.left(11);
    }
    return text;
}

QString MessageJson::formatSendTime(const QString &ms)
{
    // Plain digits (with a sign) are read here: the general conversion goes through a byte
    // array and the locale, once per message text.
    const int size = ms.size();
    int i = size > 0 && ms.at(0) == QLatin1Char('-') ? 1 : 0;
    if (size == i || size - i > 18)
        return ms;
    qint64 value = 0;
    for (int d = i; d < size; ++d) {
        const ushort c = ms.at(d).unicode();
        if (c < '0' || c > '9')
            return ms;
        value = value * 10 + (c - '0');
    }
    return formatTime(i ? -value : value);
}
