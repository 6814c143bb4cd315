#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The documents' handle on the message-file store; every call goes to the single store.
class MessageFilestoreitem : public QObject
{
    Q_OBJECT
public:
    explicit MessageFilestoreitem(QObject *parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE bool openDataBase();
    Q_INVOKABLE bool creatTable();
    Q_INVOKABLE bool insertNewData(const QString &userId, const QString &messageId,
                                   const QString &filePath);
    Q_INVOKABLE QStringList getRowData(const QString &userId, const QString &messageId);
    Q_INVOKABLE bool jusitFileExits(const QString &filePath);
    Q_INVOKABLE void openFile(const QString &filePath);
};
