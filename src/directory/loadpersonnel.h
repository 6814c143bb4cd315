#pragma once

#include "concurrency/lockedvalue.h"
#include "net/requestslot.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class QNetworkReply;

// The process-wide index from user id to user name, replaced as a whole by every successful
// personnel reply. Behind a lock, so any thread may read it.
class LoadPersonnel : public QObject
{
    Q_OBJECT
public:
    static LoadPersonnel *gestance();

    // Asks the server for every user; the reply replaces the index.
    void getAllPersonnelInformation();

    // The user ids in ascending order (text comparison, case-sensitive).
    QStringList personnelKeys() const;
    // The name of `userId`, or the empty text when the index has no such id.
    QString personnelValue(const QString &userId) const;
    // Signing out: the names go, and a reply still on its way is dropped.
    void forgetAccount();

signals:
    // The index was replaced.
    void sigPersonnelLoaded();

public slots:
    void onAllPersonnelInformation(QNetworkReply *reply);

private:
    LoadPersonnel() = default;

    RequestSlot m_slot;
    LockedValue<QMap<QString, QString>> m_names;
};
