#include "signinform.h"

SignInForm::SignInForm(QObject *parent) : QObject(parent)
{
    m_wait.setSingleShot(true);
    m_wait.setInterval(12000);
    connect(&m_wait, &QTimer::timeout, this, [this] {
        const bool waited = m_loginAfterPassword;
        setWait(QString(), false);
        emit passwordMissing(waited);
    });
    connect(&m_config, &ConfigData::sigAccountChagnge, this, [this] {
        m_accounts = m_config.getAllAccount();
        emit accountsChanged();
    });
    connect(&m_config, &ConfigData::sigAccountPassword, this, &SignInForm::takePassword);
}

QString SignInForm::reset()
{
    m_accounts = m_config.getAllAccount();
    emit accountsChanged();
    const auto isOn = [this](const char *key) {
        return m_config.getCurrentMainFile(QLatin1String(key)) == QLatin1String("true");
    };
    setChoices(isOn("rememberPassword"), isOn("autoLogin"));
    const QString account = m_config.getCurrentMainFile(QStringLiteral("currentAccount"));
    requestPassword(m_remember ? account : QString());
    return account;
}

void SignInForm::chooseAccount(const QString &account)
{
    setChoices(false, m_autoLogin);
    requestPassword(account);
}

void SignInForm::toggleRemember()
{
    setChoices(!m_remember, m_remember ? false : m_autoLogin);
}

void SignInForm::toggleAutoLogin()
{
    setChoices(m_autoLogin ? m_remember : true, !m_autoLogin);
}

void SignInForm::removeAccount(const QString &account)
{
    m_config.removeAccount(account);
}

QString SignInForm::refusal(const QString &account, const QString &password)
{
    if (!m_config.currentServerSet())
        return QStringLiteral("set_server_login");
    if (account.isEmpty())
        return QStringLiteral("input_account_logon");
    if (password.isEmpty() && !m_passwordFor.isEmpty() && m_passwordFor == account) {
        // The wait stays bounded by the password's own.
        setWait(m_passwordFor, true);
        return QStringLiteral("wait");
    }
    if (password.isEmpty())
        return QStringLiteral("password_placeholder");
    return QString();
}

bool SignInForm::signsInByItself(const QString &account, const QString &password) const
{
    return m_autoLogin && m_remember && !account.isEmpty() &&
           (!password.isEmpty() || !m_passwordFor.isEmpty());
}

void SignInForm::start(const QString &account, const QString &password)
{
    m_config.saveSignIn(account, password, m_remember, m_autoLogin);
}

void SignInForm::succeeded(const QString &account, const QString &password)
{
    m_config.setAccountPassword(account, m_remember ? password : QString());
}

void SignInForm::requestPassword(const QString &account)
{
    setWait(account, false);
    if (account.isEmpty()) {
        m_wait.stop();
        return;
    }
    m_wait.start();
    m_config.requestAccountPassword(account);
}

void SignInForm::takePassword(const QString &account, const QString &password)
{
    if (account != m_passwordFor)
        return;
    const bool signIn = m_loginAfterPassword;
    m_wait.stop();
    setWait(QString(), false);
    if (!password.isEmpty())
        setChoices(true, m_autoLogin);
    emit passwordArrived(password, signIn);
}

void SignInForm::setWait(const QString &account, bool signIn)
{
    m_passwordFor = account;
    m_loginAfterPassword = signIn;
    emit waitChanged();
}

void SignInForm::setChoices(bool remember, bool autoLogin)
{
    m_remember = remember;
    m_autoLogin = autoLogin;
    emit choicesChanged();
}
