#include "onlineinfor.h"

#include "session/parameterinfor.h"

OnlineInfor::OnlineInfor(QObject *parent) : QObject(parent)
{
    connect(ParameterInfor::instance(), &ParameterInfor::sigOnlineUsersChange, this,
            [this](const QStringList &list, int statusa) {
                emit sigOnlineUsersChange(list, statusa != 0);
            });
}

bool OnlineInfor::getOnlineUsers(const QString &names) const
{
    return ParameterInfor::instance()->isOnline(names);
}

void OnlineInfor::insertOnlineUsers(const QString &names)
{
    ParameterInfor::instance()->insertOnline(names);
}

void OnlineInfor::removeOnlineUsers(const QString &names)
{
    ParameterInfor::instance()->removeOnline(names);
}
