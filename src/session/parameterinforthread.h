#pragma once

#include "session/userfetchthread.h"

#include <QString>

// Fetches one user ("api/user/<id>") into the user cache while its caller waits.
class ParameterInforThread : public UserFetchThread
{
    Q_OBJECT
public:
    explicit ParameterInforThread(const QString &userId);

protected:
    QList<MemberRecord *> readReply(const ReplyEnvelope &envelope) const override;
};
