#pragma once

#include <QString>
#include <QStringList>

class QQmlContext;

// What the updater is started with, and what it publishes to its documents. Argument 1 is the
// stripped feed document, argument 2 the client's current version; a third argument (any value)
// marks a start from the client's version dialog.
struct UpdaterLaunch
{
    bool enoughArguments = false; // at least the feed and the version were given
    int updateStatus = 0;
    QString downloadFilePath;
    QString downloadFileName;
    QString httpContents;
    QString curretnVersionInfor;
    QString newVersionInfor;
    QString packageSha256; // what the feed says of the package, for its check
    QString packageSignature;

    // `arguments` as the program received them, argument 0 included.
    static UpdaterLaunch fromArguments(const QStringList &arguments);

    // Sets the documents' context properties in their expected order.
    void publish(QQmlContext *context, const QString &sysInforName, int screenRate) const;

    // The installation folder: the one above the updater's own.
    static QString installationDirectory();
    // Starts the client of the installation detached with the single argument "update", which
    // keeps it from handing over again. True when it started.
    static bool restartClient();
};
