#pragma once

#include "concurrency/lockedvalue.h"
#include "net/requestslot.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

class QNetworkReply;

// The process-wide index from user id to user name (the user cache of the directory), replaced
// as a whole by every successful personnel reply. The reply is read on the thread pool and the
// finished index handed over in one step. Behind a lock, so any thread may read it.
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
    // Whether a reply has filled the index since the last sign-out.
    bool loaded() const { return m_loaded; }

signals:
    // The index was replaced (after the reply, once it has been read).
    void sigPersonnelLoaded();
    void sigPersonnelForgotten();

public slots:
    void onAllPersonnelInformation(QNetworkReply *reply);

private:
    LoadPersonnel() = default;
    // The names of a personnel reply; none for a reply that must leave the index as it is.
    static std::optional<QMap<QString, QString>> readNames(const QByteArray &body);

    RequestSlot m_slot;
    // Counts sign-outs, so a reply read after one is dropped. Owning thread only.
    int m_generation = 0;
    std::atomic<bool> m_loaded{false};
    LockedValue<QMap<QString, QString>> m_names;
};
