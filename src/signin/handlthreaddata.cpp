#include "handlthreaddata.h"

#include "config/configfile.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "net/servertrust.h"
#include "session/parameterinfor.h"
#include "signin/loginreply.h"
#include "json/peerjson.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedPointer>

#include <chrono>

HandlThreaddata::HandlThreaddata(QObject *parent) : QThread(parent) {}

HandlThreaddata::~HandlThreaddata()
{
    setStopFlag(true);
    // Both waits of the loop end on the flag, so this returns at once; the limit only guards
    // against a loop stuck elsewhere, which must not hang the closing window.
    if (!wait(unsigned(RequestWait::signin().limitMs() + pauseMs))) {
        qCWarning(lcSignin) << "the QR-code loader did not stop in time; ending it";
        terminate();
        wait(unsigned(RequestWait::signin().limitMs()));
    }
}

void HandlThreaddata::startQrPolling(const QString &nonce, const QString &loginKey)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nonce = nonce;
        m_loginKey = loginKey;
        m_stop = false;
        if (m_looping)
            return;
        m_looping = true;
    }
    // A loader that has left its loop is only winding down.
    if (!wait(unsigned(RequestWait::signin().limitMs() + pauseMs))) {
        // start() would do nothing on a running thread and leave every later poll refused:
        // say the poll failed, and let the next attempt try again.
        qCWarning(lcSignin) << "the previous QR-code loader is still winding down";
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_looping = false;
        }
        emit sigLoginStatus(false, 2, QString());
        return;
    }
    start(QThread::InheritPriority);
}

void HandlThreaddata::setStopFlag(bool stop)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = stop;
    }
    m_wake.notify_all();
}

bool HandlThreaddata::setStopFlagAndWait(bool stop)
{
    setStopFlag(stop);
    return wait(unsigned(RequestWait::signin().limitMs() + pauseMs));
}

bool HandlThreaddata::stopFlag() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stop;
}

void HandlThreaddata::run()
{
    QNetworkAccessManager manager;
    ServerTrust::watch(&manager);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop) {
                m_looping = false;
                break;
            }
        }
        if (poll(manager))
            setStopFlag(true);
        pause();
    }
}

void HandlThreaddata::pause()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(pauseMs), [this] { return m_stop; });
}

bool HandlThreaddata::poll(QNetworkAccessManager &manager)
{
    QVector<QPair<QString, QString>> fields;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        fields = {{QStringLiteral("nonce_str"), m_nonce},
                  {QStringLiteral("login_key"), m_loginKey}};
    }
    const QString language = ConfigFile::instance()->currentServerLanguage();
    if (!language.isEmpty())
        fields.append({QStringLiteral("local"), language});
    const QNetworkRequest request = ServerRequest::make(
        ServerRequest::currentBaseUrl() + QStringLiteral("api/auth/qrcode/sign-on"),
        ServerRequest::Body::Form);
    QScopedPointer<QNetworkReply> reply(manager.post(request, ServerRequest::formBody(fields)));

    if (!RequestWait::forReply(reply.data(), RequestWait::signin().limitMs(), QEventLoop::AllEvents,
                               [this] { return stopFlag(); })) {
        reply->abort();
        // Stopped from outside: whatever the answer would have been is no longer wanted.
        if (stopFlag())
            return false;
        qCDebug(lcSignin) << "QR sign-on poll did not answer in time";
    }

    const QByteArray body =
        reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    QJsonValue parsed;
    if (!PeerJson::parseEscapingControls(body, &parsed) ||
        !(parsed.isObject() || parsed.isArray())) {
        qCDebug(lcSignin) << "QR sign-on reply unreadable:" << body.size() << "bytes";
        emit sigLoginStatus(false, 2, QString());
        return false;
    }
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(body);
    if (!envelope.answered())
        return false;
    if (!envelope.success()) {
        const QJsonObject error =
            envelope.object().value(QLatin1String("errors")).toArray().first().toObject();
        qCDebug(lcSignin) << "QR sign-on refused:" << error.value(QLatin1String("code")).toString()
                          << error.value(QLatin1String("message")).toString();
        return false;
    }

    const LoginReply login = LoginReply::read(envelope);
    if (!login.usable()) {
        qCDebug(lcSignin) << "QR sign-on reply without token or user:" << body.size() << "bytes";
        emit sigLoginStatus(false, 2, QString());
        return false;
    }
    login.distribute();
    emit sigSignedIn(login);
    ParameterInfor::instance()->setToken(login.token());
    emit sigLoginName(login.userId(), login.userName());
    emit sigLoginStatus(true, 2, QString());
    return true;
}
