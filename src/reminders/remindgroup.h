#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>

// One reminder rule of a module, as the server lists it below its group.
struct RemindItem
{
    int id = 0;
    QString remind_name;
    QString remind_menu;
    QString remind_type;
    QString remind_time;
    QString receive_range;
    QString reminds_display;
    QString reminds_select;
    QString remind_content;
    QString remind_state;
    int is_hand = 0;
    QString created_at;
    QString updated_at;
    int menu_id = 0;

    static RemindItem fromJson(const QJsonObject &object);
    // The field named `key` as text (integers in decimal); empty for an unknown name.
    QString field(const QString &key) const;
};

// The reminders of one module: its rule fields, its unread count and its items by id.
struct RemindGroup : RemindItem
{
    int unReadNum = 0;
    QString menu_name;
    QMap<int, RemindItem> items;

    // The group's `remind_menu` may come as a number; it is then kept as its decimal text.
    static RemindGroup fromJson(const QJsonObject &object);
    QString field(const QString &key) const;
};
