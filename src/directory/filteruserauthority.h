#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QString>

class QNetworkReply;

// The colleagues the signed-in user may see: fetches their ids into the login parameters'
// visible-user set (shared by the whole process) and answers whether an id is in it.
class FilteruserAuthority : public QObject
{
    Q_OBJECT
public:
    explicit FilteruserAuthority(QObject *parent = nullptr);

    Q_INVOKABLE void requestFiltuser();
    Q_INVOKABLE bool justFilterUserId(const QString &userids) const;

signals:
    // A reply replaced the visible-user set.
    void sigFiltuserLoaded();

public slots:
    void onRequestFiltuser(QNetworkReply *reply);

private:
    RequestSlot m_slot;
};
