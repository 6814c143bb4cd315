#include "remindgroup.h"

#include "json/jsonfield.h"

#include <QJsonArray>

namespace {

QString text(const QJsonObject &object, const char *key)
{
    return JsonField::text(object.value(QLatin1String(key)));
}

int integer(const QJsonObject &object, const char *key)
{
    return JsonField::smallInteger(object.value(QLatin1String(key)));
}

void fill(RemindItem &item, const QJsonObject &object)
{
    item.id = integer(object, "id");
    item.remind_name = text(object, "remind_name");
    // A key matched against the module of system messages, sent as text or number.
    item.remind_menu = JsonField::id(object.value(QLatin1String("remind_menu")));
    item.remind_type = text(object, "remind_type");
    item.remind_time = text(object, "remind_time");
    item.receive_range = text(object, "receive_range");
    item.reminds_display = text(object, "reminds_display");
    item.reminds_select = text(object, "reminds_select");
    item.remind_content = text(object, "remind_content");
    item.remind_state = text(object, "remind_state");
    item.is_hand = integer(object, "is_hand");
    item.created_at = text(object, "created_at");
    item.updated_at = text(object, "updated_at");
    item.menu_id = integer(object, "menu_id");
}

} // namespace

RemindItem RemindItem::fromJson(const QJsonObject &object)
{
    RemindItem item;
    fill(item, object);
    return item;
}

QString RemindItem::field(const QString &key) const
{
    if (key == QLatin1String("id"))
        return QString::number(id);
    if (key == QLatin1String("remind_name"))
        return remind_name;
    if (key == QLatin1String("remind_menu"))
        return remind_menu;
    if (key == QLatin1String("remind_type"))
        return remind_type;
    if (key == QLatin1String("remind_time"))
        return remind_time;
    if (key == QLatin1String("receive_range"))
        return receive_range;
    if (key == QLatin1String("reminds_display"))
        return reminds_display;
    if (key == QLatin1String("reminds_select"))
        return reminds_select;
    if (key == QLatin1String("remind_content"))
        return remind_content;
    if (key == QLatin1String("remind_state"))
        return remind_state;
    if (key == QLatin1String("is_hand"))
        return QString::number(is_hand);
    if (key == QLatin1String("created_at"))
        return created_at;
    if (key == QLatin1String("updated_at"))
        return updated_at;
    if (key == QLatin1String("menu_id"))
        return QString::number(menu_id);
    return QString();
}

RemindGroup RemindGroup::fromJson(const QJsonObject &object)
{
    RemindGroup group;
    fill(group, object);
    group.menu_name = text(object, "menu_name");
    const QJsonArray reminds = object.value(QLatin1String("system_reminds")).toArray();
    for (const QJsonValue &entry : reminds) {
        if (!entry.isObject())
            continue;
        const RemindItem item = RemindItem::fromJson(entry.toObject());
        group.items.insert(item.id, item);
    }
    return group;
}

QString RemindGroup::field(const QString &key) const
{
    if (key == QLatin1String("unReadNum"))
        return QString::number(unReadNum);
    if (key == QLatin1String("menu_name"))
        return menu_name;
    return RemindItem::field(key);
}
