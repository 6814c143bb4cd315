#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QString>

class HandlThreaddata;
class LoginReply;
class QThread;
class QNetworkReply;

// The login documents' way to the server: testing a server address, signing in with account
// and password or by QR code, the silent re-login and the token refresh. A successful login is
// handed to the process-wide stores and its outcome reported at once; the organisation directory
// and the user cache start loading then, behind the main window.
//
// `types` in the login signals: 1 = account and password, 2 = QR code.
class LoginRequest : public QObject
{
    Q_OBJECT
public:
    explicit LoginRequest(QObject *parent = nullptr);
    ~LoginRequest() override;

    Q_INVOKABLE void checkServerIp(const QString &httpIp);
    Q_INVOKABLE void loginServer(const QString &accounts, const QString &password);
    Q_INVOKABLE void loginServers(const QString &accounts, const QString &password);
    Q_INVOKABLE void getQrcode();
    Q_INVOKABLE void reflushToken();
    // Sets the QR-code loader's stop flag and waits for it to end: at most one poll's time
    // limit and the pause between polls, normally no time at all.
    Q_INVOKABLE void setExitRun(bool exits);
    Q_INVOKABLE void setExitTempRun(bool exits);

    // The text the QR image encodes: {"login_key", "nonce_str"} as indented JSON without line
    // feeds and tabs.
    static QString qrcodeText(const QString &nonce, const QString &loginKey);

    // Gives the messaging engine its part of a distributed login: the server's clock and the
    // user's identity. Safe from the QR-code loader's thread.
    static void handToMessaging(const LoginReply &login);

    // The QR-code loader, so an owner can tell whether it still runs.
    const QThread *qrLoader() const;

    // The user id last reported by a login.
    QString loginUserId() const { return m_userId; }

signals:
    void sigCheckServerStatus(bool status, const QString &infors);
    void sigCreateQrcode(bool statues, const QString &qrcodes);
    void sigLoginStatus(bool status, int types, const QString &errors);
    void sigLoginStatush(bool status, int types, const QString &errors);
    void sigLoginName(const QString &userId, const QString &names);
    void sigRetLogin(bool status);
    void sigReflushToken();

public slots:
    void onCheckServerFinished(QNetworkReply *reply);
    void onLogin(QNetworkReply *reply);
    void onLogins(QNetworkReply *reply);
    void onQrcode(QNetworkReply *reply);
    void onReflushToken(QNetworkReply *reply);
    void onGetDataList(bool status, int types, const QString &errors);
    void onSigLoginName(const QString &userId, const QString &userName);

private:
    QNetworkAccessManager *renew(RequestSlot &slot, void (LoginRequest::*onReply)(QNetworkReply *));
    void postLogin(RequestSlot &slot, void (LoginRequest::*onReply)(QNetworkReply *),
                   const QString &accounts, const QString &password, bool withLanguage);

    RequestSlot m_checkSlot;
    RequestSlot m_loginSlot;
    RequestSlot m_loginsSlot;
    RequestSlot m_qrcodeSlot;
    RequestSlot m_reflushSlot;
    HandlThreaddata *m_loader = nullptr;
    QString m_userId;
};
