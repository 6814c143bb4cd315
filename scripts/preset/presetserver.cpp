// Adds a server address to the client's server list and makes it the current server, the way the
// login documents would. Used by scripts/demo and scripts/screenshots to preselect the bundled
// reference server; optionally saves an account for auto-login, the login view to open and a
// view to open once signed in.
#include "config/configfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Preselects a server in the client's settings."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("address"), QStringLiteral("server address"));
    parser.addPositionalArgument(QStringLiteral("language"), QStringLiteral("language code"),
                                 QStringLiteral("[language]"));
    const QCommandLineOption account(QStringLiteral("account"), QStringLiteral("account to save"),
                                     QStringLiteral("name"));
    const QCommandLineOption password(
        QStringLiteral("password"), QStringLiteral("password to remember"), QStringLiteral("text"));
    const QCommandLineOption autoLogin(QStringLiteral("auto-login"),
                                       QStringLiteral("sign in by itself at the next start"));
    const QCommandLineOption saved(
        QStringLiteral("saved-account"),
        QStringLiteral("list the account among the saved ones, as a sign-in does"));
    const QCommandLineOption view(QStringLiteral("view"),
                                  QStringLiteral("login view to open: password, qrcode, server"),
                                  QStringLiteral("view"));
    const QCommandLineOption open(
        QStringLiteral("open"),
        QStringLiteral(
            "view to open once signed in: a section (message, group, organization, menu, "
            "reminders), settings, settings-notifications, settings-theme, skins, update, "
            "group-card, group-new or person:<user id>"),
        QStringLiteral("view"));
    const QCommandLineOption conversation(
        QStringLiteral("conversation"),
        QStringLiteral("conversation the main frame reopens: id,name,types[,history]"),
        QStringLiteral("conversation"));
    parser.addOptions({account, password, autoLogin, saved, view, open, conversation});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        QTextStream(stderr)
            << "usage: tarnex-preset <server address> [language code] "
               "[--account A [--saved-account] --password P [--auto-login]] [--view V] "
               "[--open V] "
               "[--conversation id,name,types[,history]]\n";
        return 2;
    }
    const QString address = args.at(0);
    const QString language = args.value(1);
    ConfigFile *settings = ConfigFile::instance();
    settings->addServerAddress(address, language);
    settings->setMainConfig(QStringLiteral("serverAddress"), address);
    settings->setMainConfig(QStringLiteral("currentServerIp"), address);
    // The per-server keys follow the current server set just above.
    if (parser.isSet(account)) {
        const bool remember = parser.isSet(password);
        settings->setMainConfig(QStringLiteral("currentAccount"), parser.value(account));
        settings->setMainConfig(QStringLiteral("currentPassword"), parser.value(password));
        settings->setMainConfig(QStringLiteral("rememberPassword"),
                                remember ? QStringLiteral("true") : QStringLiteral("false"));
        settings->setMainConfig(QStringLiteral("autoLogin"), remember && parser.isSet(autoLogin)
                                                                 ? QStringLiteral("true")
                                                                 : QStringLiteral("false"));
        // Without its password: the sign-in asks for it when the account is chosen.
        if (parser.isSet(saved))
            settings->setAccountPassword(parser.value(account), QString());
    }
    if (parser.isSet(view))
        settings->setMainConfig(QStringLiteral("loginView"), parser.value(view));
    // Read once by the window after the sign-in, then cleared.
    if (parser.isSet(open))
        settings->setMainConfig(QStringLiteral("openView"), parser.value(open));
    if (parser.isSet(conversation)) {
        const QStringList parts = parser.value(conversation).split(QLatin1Char(','));
        QJsonObject last;
        last.insert(QStringLiteral("id"), parts.value(0));
        last.insert(QStringLiteral("name"), parts.value(1));
        last.insert(QStringLiteral("types"), parts.value(2, QStringLiteral("2")));
        last.insert(QStringLiteral("history"), parts.value(3) == QLatin1String("history"));
        settings->setMainConfig(
            QStringLiteral("lastConversation"),
            QString::fromUtf8(QJsonDocument(last).toJson(QJsonDocument::Compact)));
    }
    QTextStream(stdout) << "current server: " << address << " (" << settings->settingsFilePath()
                        << ")\n";
    return 0;
}
