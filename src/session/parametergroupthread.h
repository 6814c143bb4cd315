#pragma once

#include "session/userfetchthread.h"

#include <QStringList>

// Fetches a list of users ("api/user/usersgroup") into the user cache with one request while
// its caller waits.
class ParameterGroupThread : public UserFetchThread
{
    Q_OBJECT
public:
    explicit ParameterGroupThread(const QStringList &userIds);

protected:
    QList<MemberRecord *> readReply(const ReplyEnvelope &envelope) const override;
};
