#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// One private chat message as the conversation stores keep it: eleven text fields, in the order
// the message text for the documents lists them.
struct MessageRecord
{
    QString creator;
    QString download;
    QString fileType;
    QString haveread;
    QString msg;
    QString msgId;
    QString msgType;
    QString sendTime;
    QString time;
    QString type;
    // "1" pending, "2" sent, "3" read by the peer, "4" failed (received messages start at "3").
    QString sendStatus;
    // Read from this machine's history, not (yet) from the service.
    bool local = false;
};

// One group chat message: the private fields plus who sent it in which group, how many members
// have not read it yet and which members have.
struct GroupMessageRecord : MessageRecord
{
    QString groupId;
    QString userId;
    QString userName;
    QString groupName;
    QString unread;
    QString userTime;
    QStringList members;
    QSet<QString> readers;
};
