#include "testenvironment.h"

#include "config/configfile.h"
#include "shell/configdata.h"
#include "shell/signinform.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The password form's state: the choices' rules, why a sign-in cannot start, and the
// remembered password that comes later, with a sign-in waiting for it.
class TestSignInForm : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void choicesAndRefusals();
    void rememberedPasswordComesLater();
    void aMissingPasswordEndsTheWait();

private:
    QTemporaryDir m_base;
};

void TestSignInForm::init()
{
    QVERIFY(m_base.isValid());
    ConfigFile::resetForTests(m_base.path() + QLatin1Char('/'));
    ConfigData config;
    config.setCurrentMainFile(QStringLiteral("oa.example.com:8080"),
                              QStringLiteral("currentServerIp"));
    config.setCurrentMainFile(QStringLiteral("zhangwei"), QStringLiteral("currentAccount"));
    config.setAccountPassword(QStringLiteral("zhangwei"), QStringLiteral("secret"));
    config.setCurrentMainFile(QStringLiteral("false"), QStringLiteral("rememberPassword"));
    config.setCurrentMainFile(QStringLiteral("false"), QStringLiteral("autoLogin"));
}

void TestSignInForm::choicesAndRefusals()
{
    SignInForm form;
    QCOMPARE(form.reset(), QStringLiteral("zhangwei"));
    QCOMPARE(form.accounts(), QStringList{QStringLiteral("zhangwei")});
    QCOMPARE(form.passwordFor(), QString()); // not kept: nothing to wait for

    form.toggleAutoLogin();
    QVERIFY(form.autoLogin() && form.rememberPassword());
    form.toggleAutoLogin();
    QVERIFY(!form.autoLogin() && form.rememberPassword());
    form.toggleAutoLogin();
    form.toggleRemember();
    QVERIFY(!form.autoLogin() && !form.rememberPassword());
    QVERIFY(!form.signsInByItself(QStringLiteral("zhangwei"), QStringLiteral("secret")));

    QCOMPARE(form.refusal(QString(), QStringLiteral("x")), QStringLiteral("input_account_logon"));
    QCOMPARE(form.refusal(QStringLiteral("zhangwei"), QString()),
             QStringLiteral("password_placeholder"));
    QCOMPARE(form.refusal(QStringLiteral("zhangwei"), QStringLiteral("x")), QString());
    ConfigData().setCurrentMainFile(QStringLiteral("https://"), QStringLiteral("currentServerIp"));
    QCOMPARE(form.refusal(QStringLiteral("zhangwei"), QStringLiteral("x")),
             QStringLiteral("set_server_login"));

    // A sign-in not remembering its password leaves none saved, and the account is listed.
    QSignalSpy accounts(&form, &SignInForm::accountsChanged);
    form.start(QStringLiteral("lina"), QStringLiteral("pw"));
    form.succeeded(QStringLiteral("lina"), QStringLiteral("pw"));
    QCOMPARE(accounts.size(), 1);
    QVERIFY(form.accounts().contains(QStringLiteral("lina")));
    QCOMPARE(ConfigData().getAccountPassword(QStringLiteral("lina")), QString());
    QCOMPARE(ConfigData().getCurrentMainFile(QStringLiteral("rememberPassword")),
             QStringLiteral("false"));
    form.removeAccount(QStringLiteral("lina"));
    QVERIFY(!form.accounts().contains(QStringLiteral("lina")));
}

void TestSignInForm::rememberedPasswordComesLater()
{
    ConfigData().setCurrentMainFile(QStringLiteral("true"), QStringLiteral("rememberPassword"));
    ConfigData().setCurrentMainFile(QStringLiteral("true"), QStringLiteral("autoLogin"));
    SignInForm form;
    QSignalSpy arrived(&form, &SignInForm::passwordArrived);
    const QString account = form.reset();
    QCOMPARE(form.passwordFor(), account);
    QVERIFY(form.signsInByItself(account, QString()));
    // Asked for before the password is here: the sign-in waits, and follows its arrival.
    QCOMPARE(form.refusal(account, QString()), QStringLiteral("wait"));
    QVERIFY(form.loginAfterPassword());
    QVERIFY(arrived.wait(5000));
    QCOMPARE(arrived.first().at(0).toString(), QStringLiteral("secret"));
    QCOMPARE(arrived.first().at(1).toBool(), true);
    QCOMPARE(form.passwordFor(), QString());
    QVERIFY(!form.loginAfterPassword());

    // Another account picked meanwhile: the first one's answer is not taken for it.
    form.chooseAccount(QStringLiteral("zhangwei"));
    QVERIFY(!form.rememberPassword());
    form.chooseAccount(QStringLiteral("nobody"));
    QVERIFY(arrived.wait(5000));
    QCOMPARE(arrived.size(), 2);
    QCOMPARE(arrived.last().at(0).toString(), QString());
    QVERIFY(!form.rememberPassword());
}

void TestSignInForm::aMissingPasswordEndsTheWait()
{
    ConfigData().setCurrentMainFile(QStringLiteral("true"), QStringLiteral("rememberPassword"));
    SignInForm form;
    form.setPasswordWaitMs(0);
    QSignalSpy missing(&form, &SignInForm::passwordMissing);
    QSignalSpy arrived(&form, &SignInForm::passwordArrived);
    const QString account = form.reset();
    QCOMPARE(form.refusal(account, QString()), QStringLiteral("wait"));
    // Whichever comes first ends the wait.
    QTRY_COMPARE(missing.size() + arrived.size(), 1);
    if (!missing.isEmpty())
        QCOMPARE(missing.first().at(0).toBool(), true);
    QCOMPARE(form.passwordFor(), QString());
    QCOMPARE(form.refusal(account, QString()), QStringLiteral("password_placeholder"));
}

TARNEX_TEST_MAIN(TestSignInForm)
#include "tst_signinform.moc"
