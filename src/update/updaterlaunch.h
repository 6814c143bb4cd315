#pragma once

#include "update/releasemanifest.h"

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
    // The feed's release checked against the running version: the higher of argument 2 and this
    // build's own, so a start with a lower one cannot let an older release in.
    ReleaseCheck release;

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
