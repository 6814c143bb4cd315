#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QString>

class QNetworkReply;

// Lookups the documents make at the moment they need them: the company, the members of one
// department, the roles, the users of one role (each returned as the reply's `data` text, or
// the empty text on any failure), and a name search answered by sigUserInforFinished.
//
// The returning lookups block the caller for at most RequestWait::directory().limitMs() (plus a
// short grace for a worker thread to end).
class TreeModelitem : public QObject
{
    Q_OBJECT
public:
    explicit TreeModelitem(QObject *parent = nullptr);

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
    // GET in the calling thread; the data text only when `status` is exactly 1.
    static QString blockingGet(const QString &path);
    static QString runWorker(const QString &argument, int mode);

    RequestSlot m_searchSlot;
};
