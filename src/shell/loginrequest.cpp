#include "loginrequest.h"

#include "config/configfile.h"
#include "directory/handlorganization.h"
#include "directory/loadpersonnel.h"
#include "historylink.h"
#include "language/text.h"
#include "logging.h"
#include "messaging/sockethandl.h"
#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "reminders/menumodel.h"
#include "reminders/systeminformation.h"
#include "session/parameterinfor.h"
#include "signin/handlthreaddata.h"
#include "signin/loginreply.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

namespace {

QString addressErrorText()
{
    return tarnex::text(QStringLiteral("server_address_errors"), QStringLiteral("服务器地址错误"));
}

// For a refusal without a message of its own, or a success that signs nobody in.
QString loginFailedText()
{
    return tarnex::text(QStringLiteral("login_failed"), QStringLiteral("登录失败"));
}

void logReply(const char *what, QNetworkReply *reply, const QByteArray &body)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError)
        qCDebug(lcSignin) << what << "HTTP" << status << body.size() << "bytes";
    else
        qCDebug(lcSignin) << what << "HTTP" << status << "failed:" << reply->errorString();
}

} // namespace

LoginRequest::LoginRequest(QObject *parent) : QObject(parent), m_loader(new HandlThreaddata)
{
    // The single instances the QR-code loader fills from its thread are created here, on the
    // documents' thread, so their objects belong to it.
    ParameterInfor::instance();
    MenuModel::instance();
    SocketHandl::instance();
    HistoryLink::instance();

    // Direct: the engine must hold the identity before the loader stores the token.
    connect(m_loader, &HandlThreaddata::sigSignedIn, m_loader, &LoginRequest::handToMessaging,
            Qt::DirectConnection);
    connect(m_loader, &HandlThreaddata::sigLoginName, this, &LoginRequest::sigLoginName);
    connect(m_loader, &HandlThreaddata::sigLoginName, this, &LoginRequest::onSigLoginName);
    connect(this, &LoginRequest::sigLoginName, this, &LoginRequest::onSigLoginName);
    connect(m_loader, &HandlThreaddata::sigLoginStatus, this, &LoginRequest::onGetDataList);
    connect(this, &LoginRequest::sigLoginStatush, this, &LoginRequest::onGetDataList);
}

LoginRequest::~LoginRequest()
{
    if (m_loader->setStopFlagAndWait(true)) {
        delete m_loader;
    } else {
        // Still inside a poll: it ends within its limit and then deletes itself.
        connect(m_loader, &QThread::finished, m_loader, &QObject::deleteLater);
        if (m_loader->isFinished())
            delete m_loader;
    }
}

const QThread *LoginRequest::qrLoader() const
{
    return m_loader;
}

QString LoginRequest::qrcodeText(const QString &nonce, const QString &loginKey)
{
    const QJsonObject code{{QStringLiteral("nonce_str"), nonce},
                           {QStringLiteral("login_key"), loginKey}};
    QString text = QString::fromUtf8(QJsonDocument(code).toJson(QJsonDocument::Indented));
    text.remove(QLatin1Char('\t'));
    text.remove(QLatin1Char('\n'));
    return text;
}

QNetworkAccessManager *LoginRequest::renew(RequestSlot &slot,
                                           void (LoginRequest::*onReply)(QNetworkReply *))
{
    QNetworkAccessManager *manager = slot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, onReply);
    return manager;
}

void LoginRequest::checkServerIp(const QString &httpIp)
{
    // Only the TLS settings: the address is tested as the user typed it, with no headers.
    QNetworkRequest request{QUrl(ConfigFile::normaliseAddress(httpIp.trimmed()))};
    ServerRequest::applyTls(request);
    request.setTransferTimeout(RequestWait::signin().limitMs());
    renew(m_checkSlot, &LoginRequest::onCheckServerFinished)->get(request);
}

void LoginRequest::postLogin(RequestSlot &slot, void (LoginRequest::*onReply)(QNetworkReply *),
                             const QString &accounts, const QString &password, bool withLanguage)
{
    QVector<QPair<QString, QString>> fields{{QStringLiteral("user_account"), accounts},
                                            {QStringLiteral("password"), password}};
    if (withLanguage) {
        const QString language = ConfigFile::instance()->currentServerLanguage();
        if (!language.isEmpty())
            fields.append({QStringLiteral("local"), language});
    }
    QNetworkRequest request =
        ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/auth/login"),
                            ServerRequest::Body::Form);
    request.setTransferTimeout(RequestWait::signin().limitMs());
    renew(slot, onReply)->post(request, ServerRequest::formBody(fields));
}

void LoginRequest::loginServer(const QString &accounts, const QString &password)
{
    postLogin(m_loginSlot, &LoginRequest::onLogin, accounts, password, true);
}

void LoginRequest::loginServers(const QString &accounts, const QString &password)
{
    postLogin(m_loginsSlot, &LoginRequest::onLogins, accounts, password, false);
}

void LoginRequest::getQrcode()
{
    QNetworkRequest request = ServerRequest::make(ServerRequest::currentBaseUrl() +
                                                      QStringLiteral("api/auth/qrcode/general"),
                                                  ServerRequest::Body::JsonUtf8);
    request.setTransferTimeout(RequestWait::signin().limitMs());
    renew(m_qrcodeSlot, &LoginRequest::onQrcode)->get(request);
}

void LoginRequest::reflushToken()
{
    QNetworkRequest request = ServerRequest::make(
        ServerRequest::currentBaseUrl() + QStringLiteral("api/auth/refresh") +
            QStringLiteral("?api_token=") +
            QString::fromLatin1(QUrl::toPercentEncoding(ParameterInfor::instance()->token())),
        ServerRequest::Body::JsonUtf8);
    request.setTransferTimeout(RequestWait::signin().limitMs());
    renew(m_reflushSlot, &LoginRequest::onReflushToken)->get(request);
}

void LoginRequest::handToMessaging(const LoginReply &login)
{
    SocketHandl *engine = SocketHandl::instance();
    if (login.hasServerClock())
        engine->setServerClock(login.serverClock());
    engine->setLoginIdentity(login.userId(), login.deptName(), login.roleName());
    // The QR-code loader calls this on its own thread; the history belongs to the GUI thread.
    QMetaObject::invokeMethod(
        HistoryLink::instance(),
        [server = ConfigFile::instance()->currentServerAddress(), user = login.userId()]() {
            HistoryLink::instance()->signIn(server, user);
        });
}

void LoginRequest::setExitRun(bool exits)
{
    // Waiting only makes sense for a loader told to stop; one told to go on would keep the
    // window blocked until its limit.
    if (exits)
        m_loader->setStopFlagAndWait(exits);
    else
        m_loader->setStopFlag(exits);
}

void LoginRequest::setExitTempRun(bool exits)
{
    m_loader->setStopFlag(exits);
}

void LoginRequest::onCheckServerFinished(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
    const bool reached = reply && reply->error() == QNetworkReply::NoError;
    if (reply)
        logReply("server check", reply, reached ? reply->readAll() : QByteArray());
    // Whatever page answers without a transport error passes.
    if (reached)
        emit sigCheckServerStatus(true, tarnex::text(QStringLiteral("server_address_correct"),
                                                     QStringLiteral("服务器地址正确")));
    else
        emit sigCheckServerStatus(false, addressErrorText());
}

void LoginRequest::onLogin(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply);
    if (reply)
        logReply("login", reply, envelope.body());
    if (envelope.transportFailed() || !envelope.answered()) {
        // An unreadable reply is a failed login too; the window must not wait for ever.
        emit sigLoginStatush(false, 1, addressErrorText());
        return;
    }
    if (!envelope.success()) {
        const QString message = envelope.errorMessage();
        emit sigLoginStatush(false, 1, message.isEmpty() ? loginFailedText() : message);
        return;
    }
    const LoginReply login = LoginReply::read(envelope);
    if (!login.usable()) {
        qCDebug(lcSignin) << "login reply without token or user; nothing stored";
        emit sigLoginStatush(false, 1, loginFailedText());
        return;
    }
    login.distribute();
    handToMessaging(login);
    emit sigLoginName(login.userId(), login.userName());
    ParameterInfor::instance()->setToken(login.token());
    SystemInformation::gestance()->getSystemReminds();
    emit sigLoginStatush(true, 1, QString());
}

void LoginRequest::onLogins(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply);
    if (reply)
        logReply("silent re-login", reply, envelope.body());
    if (envelope.transportFailed() || !envelope.answered()) {
        emit sigRetLogin(false);
        return;
    }
    if (!envelope.success()) {
        qCDebug(lcSignin) << "silent re-login refused:" << envelope.errorMessage();
        emit sigRetLogin(false);
        return;
    }
    const QString token = JsonField::id(envelope.dataObject().value(QLatin1String("token")));
    // Without a token the reply signs nobody in; the stores keep the current session.
    if (token.isEmpty()) {
        emit sigRetLogin(false);
        return;
    }
    MenuModel::instance()->setMenuData(envelope.body());
    ParameterInfor::instance()->setToken(token);
    emit sigRetLogin(true);
}

void LoginRequest::onQrcode(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply);
    if (reply)
        logReply("QR code", reply, envelope.body());
    if (!envelope.success())
        return;
    const QJsonObject data = envelope.dataObject();
    const QString nonce = JsonField::id(data.value(QLatin1String("nonce_str")));
    const QString loginKey = JsonField::id(data.value(QLatin1String("login_key")));
    // A code without them could never be confirmed.
    if (nonce.isEmpty() || loginKey.isEmpty())
        return;
    m_loader->startQrPolling(nonce, loginKey);
    emit sigCreateQrcode(true, qrcodeText(nonce, loginKey));
}

void LoginRequest::onReflushToken(QNetworkReply *reply)
{
    if (!reply) {
        emit sigReflushToken();
        return;
    }
    reply->deleteLater();
    const QByteArray body = reply->readAll();
    logReply("token refresh", reply, body);
    QJsonValue parsed;
    if (PeerJson::parseEscapingControls(body, &parsed) && (parsed.isObject() || parsed.isArray()))
        emit sigReflushToken();
}

void LoginRequest::onGetDataList(bool status, int types, const QString &errors)
{
    if (!status) {
        emit sigLoginStatus(status, types, errors);
        return;
    }
    // The password login has asked for the reminders already; the QR loader leaves it to here.
    if (types == 2)
        SystemInformation::gestance()->getSystemReminds();
    // The directory and the user cache load behind the window, which opens at once: a large
    // organisation takes seconds, and the conversations and messaging do not need it. The
    // directory's views show it filling in.
    HandlOrganization *organization = HandlOrganization::gestance();
    if (!organization->getRunStatus())
        organization->start(QThread::InheritPriority);
    LoadPersonnel::gestance()->getAllPersonnelInformation();
    emit sigLoginStatus(status, types, errors);
}

void LoginRequest::onSigLoginName(const QString &userId, const QString &userName)
{
    Q_UNUSED(userName)
    m_userId = userId;
}
