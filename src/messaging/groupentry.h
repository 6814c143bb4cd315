#pragma once

#include <QString>
#include <QStringList>

// One row of the group table: a chat group the signed-in user belongs to.
struct GroupEntry
{
    QString id;
    QString creator;
    QString name;
    // "yyyy-MM-dd hh:mm:ss"
    QString createTime;
    QString updateTime;
    QStringList members;
};
