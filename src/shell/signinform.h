#pragma once

#include "configdata.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

// The password form's state behind the fields: the saved accounts, the remember-password and
// auto-login choices, and the remembered password of an account, which the keychain gives
// later. A sign-in asked for before it came follows its arrival.
class SignInForm : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList accounts READ accounts NOTIFY accountsChanged)
    Q_PROPERTY(bool rememberPassword READ rememberPassword NOTIFY choicesChanged)
    Q_PROPERTY(bool autoLogin READ autoLogin NOTIFY choicesChanged)
    // The account whose remembered password is awaited ("" when none is), and whether a
    // sign-in waits for it.
    Q_PROPERTY(QString passwordFor READ passwordFor NOTIFY waitChanged)
    Q_PROPERTY(bool loginAfterPassword READ loginAfterPassword NOTIFY waitChanged)
    // How long the remembered password is awaited before the form asks for it instead.
    Q_PROPERTY(int passwordWaitMs READ passwordWaitMs WRITE setPasswordWaitMs)
public:
    explicit SignInForm(QObject *parent = nullptr);

    QStringList accounts() const { return m_accounts; }
    bool rememberPassword() const { return m_remember; }
    bool autoLogin() const { return m_autoLogin; }
    QString passwordFor() const { return m_passwordFor; }
    bool loginAfterPassword() const { return m_loginAfterPassword; }
    int passwordWaitMs() const { return m_wait.interval(); }
    void setPasswordWaitMs(int ms) { m_wait.setInterval(ms); }

    // Reads the current server's accounts and choices and gives the account to show; its
    // password is asked for when it is kept.
    Q_INVOKABLE QString reset();
    // A saved account picked: its own password, if it has one kept, replaces the choice.
    Q_INVOKABLE void chooseAccount(const QString &account);
    // Not remembering ends auto-login; auto-login needs the password remembered.
    Q_INVOKABLE void toggleRemember();
    Q_INVOKABLE void toggleAutoLogin();
    Q_INVOKABLE void removeAccount(const QString &account);
    // Why a sign-in cannot start: the form's text key ("set_server_login",
    // "input_account_logon", "password_placeholder"), "wait" when the remembered password is
    // on its way (the sign-in follows it), "" when it may start.
    Q_INVOKABLE QString refusal(const QString &account, const QString &password);
    // Whether the form signs in by itself once up.
    Q_INVOKABLE bool signsInByItself(const QString &account, const QString &password) const;
    // The choices are stored as the sign-in starts.
    Q_INVOKABLE void start(const QString &account, const QString &password);
    // A sign-in went through: the password stays saved only when remembered.
    Q_INVOKABLE void succeeded(const QString &account, const QString &password);

signals:
    void accountsChanged();
    void choicesChanged();
    void waitChanged();
    // The awaited password came; `signIn`: a sign-in was waiting for it.
    void passwordArrived(const QString &password, bool signIn);
    // It did not come in time; `signInWaited`: a sign-in had been asked for.
    void passwordMissing(bool signInWaited);

private:
    void requestPassword(const QString &account);
    void takePassword(const QString &account, const QString &password);
    void setWait(const QString &account, bool signIn);
    void setChoices(bool remember, bool autoLogin);

    ConfigData m_config;
    QTimer m_wait;
    QStringList m_accounts;
    bool m_remember = false;
    bool m_autoLogin = false;
    QString m_passwordFor;
    bool m_loginAfterPassword = false;
};
