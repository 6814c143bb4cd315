// Adds a server address to the client's server list and makes it the current server, the way the
// login documents would. Used by scripts/demo to preselect the bundled reference server.
#include "config/configfile.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: tarnex-preset <server address> [language code]\n";
        return 2;
    }
    const QString address = args.at(1);
    const QString language = args.value(2);
    ConfigFile *settings = ConfigFile::instance();
    settings->addServerAddress(address, language);
    settings->setMainConfig(QStringLiteral("serverAddress"), address);
    settings->setMainConfig(QStringLiteral("currentServerIp"), address);
    QTextStream(stdout) << "current server: " << address << " (" << settings->settingsFilePath()
                        << ")\n";
    return 0;
}
