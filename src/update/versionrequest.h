#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QString>

class QNetworkReply;

// The client's version dialog side of the update: asks the feed once and reports its members,
// and hands over to the updater. ConfigData forwards getVersionInfor and openUpdateProgrom here.
class VersionRequest : public QObject
{
    Q_OBJECT
public:
    explicit VersionRequest(QObject *parent = nullptr) : QObject(parent) {}

    // Only the first call on an object asks the feed, unless that answer failed.
    void getVersionInfor();

    // Starts the updater below the client's own folder with the feed text, the current
    // version and "app-update", then ends the event loop with 0. An empty feed text, or an
    // updater that cannot be started, does nothing more than a log line: the client stays.
    // True when the updater was started.
    static bool openUpdateProgrom(const QString &updateInfors, const QString &crrentVersion);

    // What the version dialog adds about where updates come from: that an installation the user
    // cannot write is updated by the system's package manager or the administrator, and that a
    // developer build installs unsigned updates. Empty for an ordinary installation.
    static QString updateSourceNote();

signals:
    // All empty when the feed did not answer with JSON.
    void sigUpdateDataInfor(QString newVersionInfors, QString downloadFilePaths,
                            QString downloadFileNames, QString versionDescriptions,
                            QString httpContentss);

public slots:
    void onVersionInforFinished(QNetworkReply *reply);

private:
    RequestSlot m_slot;
    bool m_requested = false;
};
