#include "requestwait.h"

#include "net/serverrequest.h"

#include <QNetworkReply>
#include <QTimer>

RequestWait::RequestWait() : m_limitMs(ServerRequest::dataWaitMs) {}

RequestWait &RequestWait::signin()
{
    static RequestWait wait;
    return wait;
}

RequestWait &RequestWait::directory()
{
    static RequestWait wait;
    return wait;
}

void RequestWait::setLimitMs(int ms)
{
    m_limitMs.store(ms > 0 ? ms : ServerRequest::dataWaitMs);
}

bool RequestWait::forReply(QNetworkReply *reply, int limitMs, QEventLoop::ProcessEventsFlags flags,
                           const std::function<bool()> &stopped)
{
    if (!reply)
        return false;
    if (reply->isFinished())
        return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer stopCheck;
    if (stopped) {
        QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&loop, &stopped] {
            if (stopped())
                loop.quit();
        });
        stopCheck.start(stopCheckMs);
    }
    limit.start(limitMs);
    loop.exec(flags);
    return reply->isFinished();
}
