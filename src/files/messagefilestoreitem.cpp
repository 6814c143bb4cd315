#include "messagefilestoreitem.h"

#include "files/messagefilestore.h"

bool MessageFilestoreitem::openDataBase()
{
    return MessageFilestore::instance()->openDataBase();
}

bool MessageFilestoreitem::creatTable()
{
    return MessageFilestore::instance()->creatTable();
}

bool MessageFilestoreitem::insertNewData(const QString &userId, const QString &messageId,
                                         const QString &filePath)
{
    return MessageFilestore::instance()->insertNewData(userId, messageId, filePath);
}

QStringList MessageFilestoreitem::getRowData(const QString &userId, const QString &messageId)
{
    return MessageFilestore::instance()->getRowData(userId, messageId);
}

bool MessageFilestoreitem::jusitFileExits(const QString &filePath)
{
    return MessageFilestore::jusitFileExits(filePath);
}

void MessageFilestoreitem::openFile(const QString &filePath)
{
    MessageFilestore::openFile(filePath);
}
