#include "httplanguagepackage.h"

#include "config/configfile.h"
#include "language/languageinformation.h"

HttplanguagePackage::HttplanguagePackage(QObject *parent) : QObject(parent)
{
    LanguageInformation *store = LanguageInformation::instance();
    connect(store, &LanguageInformation::sigLangueList, this, &HttplanguagePackage::sigLangueList);
    connect(store, &LanguageInformation::sigLangueFileList, this,
            &HttplanguagePackage::sigLangueFileList);
}

void HttplanguagePackage::getLangPackages(const QString &serverIps)
{
    LanguageInformation::instance()->requestLanguageList(serverIps);
}

void HttplanguagePackage::getLangPackages()
{
    LanguageInformation::instance()->requestLanguageList(QString());
}

void HttplanguagePackage::getLangPackagesFile(const QString &langCode, const QString &serverIps)
{
    LanguageInformation::instance()->requestTextTable(langCode, serverIps);
}

void HttplanguagePackage::getLangPackagesFile(const QString &langCode)
{
    LanguageInformation::instance()->requestTextTable(langCode, QString());
}

void HttplanguagePackage::getLangPackagesFile()
{
    LanguageInformation::instance()->requestTextTable(QString(), QString());
}

void HttplanguagePackage::loadStoredLanguage()
{
    ConfigFile *settings = ConfigFile::instance();
    QString server = settings->getMainConfig(QStringLiteral("currentServerIp"));
    server.replace(QStringLiteral("http://"), QString());
    if (server.isEmpty())
        return;
    const QString code = settings->getServerAddressLangue(server);
    if (!code.isEmpty())
        getLangPackagesFile(code, server);
}

QString HttplanguagePackage::getLangName(const QString &lang_code) const
{
    return LanguageInformation::instance()->languageName(lang_code);
}

QString HttplanguagePackage::getLangFileName(const QString &lang_code) const
{
    return LanguageInformation::instance()->textFor(lang_code);
}

QStringList HttplanguagePackage::getLangKeys() const
{
    return LanguageInformation::instance()->languageCodes();
}
