#include "remindreply.h"

#include "language/text.h"
#include "net/serverrequest.h"

#include <QNetworkRequest>

#include <atomic>

namespace tarnex::reminders {

namespace {
std::atomic<int> s_replyLimitMs{ServerRequest::dataWaitMs};
}

int replyLimitMs()
{
    return s_replyLimitMs.load();
}

void setReplyLimitMs(int limitMs)
{
    s_replyLimitMs.store(limitMs > 0 ? limitMs : ServerRequest::dataWaitMs);
}

void applyReplyLimit(QNetworkRequest &request)
{
    request.setTransferTimeout(replyLimitMs());
}

QString failureText(const ReplyEnvelope &envelope, const QString &key, const QString &builtIn)
{
    if (envelope.transportFailed())
        return tarnex::text(QStringLiteral("connect_server_fail"),
                            QStringLiteral("连接服务器失败"));
    const QString message = envelope.errorMessage();
    if (!message.isEmpty())
        return message;
    return tarnex::text(key, builtIn);
}

} // namespace tarnex::reminders
