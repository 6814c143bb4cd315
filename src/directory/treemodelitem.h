#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QString>

class QNetworkReply;

// Lookups the documents make at the moment they need them: the company, the members of one
// department, the roles, the users of one role (each returned as the reply's `data` text, or
// the empty text on any failure), and a name search answered by sigUserInforFinished.
//
// The returning lookups run on a worker thread and block the caller (the GUI thread) for at most
// callerWaitMs, without an event loop, so nothing else is delivered to the window meanwhile.
// A server that did not answer in time is not asked again synchronously for
// silentServerMemoryMs: the returning lookups read empty at once until then.
class TreeModelitem : public QObject
{
    Q_OBJECT
public:
    explicit TreeModelitem(QObject *parent = nullptr);

    static constexpr int callerWaitMs = 3000;
    static constexpr qint64 silentServerMemoryMs = 30000;
    // Forgets a silent server; each sign-in does.
    static void forgetSilentServer();

    Q_INVOKABLE QString getCompanyInfor();
    Q_INVOKABLE QString getDepthInfor(const QString &ids);
    Q_INVOKABLE QString getRoleInfor();
    Q_INVOKABLE QString getRoleInformation(const QString &ids);
    // Starts a search; only the latest one reports. Returns the empty text.
    Q_INVOKABLE QString findUserInfor(const QString &names);

    static QByteArray searchBody(const QString &names);

signals:
    void sigUserInforFinished(const QString &contents);

public slots:
    void onUserInforFinished(QNetworkReply *reply);

private:
    static QString runWorker(const QString &argument, int mode);

    RequestSlot m_searchSlot;
};
