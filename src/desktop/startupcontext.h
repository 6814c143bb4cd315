#pragma once

#include <QString>

class QQmlContext;

// The values the entry point publishes to the documents as context properties.
struct StartupContext
{
    QString downloadFilePath;
    QString downloadFileName;
    QString httpContents;
    QString sysInforName;
    QString versionDescription;
    QString curretnVersionInfor;
    QString newVersionInfor;
    int reloadView = 0;
    int screenRate = 1;

    // Sets every property in the documents' expected order (all but `mainWindows`, which the
    // entry point sets once the main document has loaded).
    void publish(QQmlContext *context) const;
};
