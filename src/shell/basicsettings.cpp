#include "basicsettings.h"

#include "config/serveraddress.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

QString flag(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

BasicSettings::BasicSettings(QObject *parent) : QObject(parent) {}

void BasicSettings::reload()
{
    const auto isOn = [this](const char *key) {
        return m_config.getCurrentMainFile(QLatin1String(key)) == QLatin1String("true");
    };
    m_remember = isOn("rememberPassword");
    m_autoLogin = isOn("autoLogin");
    m_startWithSystem = m_config.getStartCompany();
    m_exitOnClose = m_config.getExitbtnStatus();
    m_systemBrowser = isOn("systemBrowser");
    m_hidePreview = isOn("hidePreview");
    m_doNotDisturb = isOn("doNotDisturb");
    m_downloadFolder = m_config.getBrowserPath(downloadKey());
    m_serverAddress =
        ServerAddress::plain(m_config.getCurrentMainFile(QStringLiteral("currentServerIp")));
    m_currentLang =
        m_serverAddress.isEmpty() ? QString() : m_config.getServerAddressLangue(m_serverAddress);
    emit changed();
}

bool BasicSettings::valueOf(const QString &key) const
{
    if (key == QLatin1String("remember"))
        return m_remember;
    if (key == QLatin1String("auto"))
        return m_autoLogin;
    if (key == QLatin1String("bootup"))
        return m_startWithSystem;
    if (key == QLatin1String("doNotDisturb"))
        return m_doNotDisturb;
    if (key == QLatin1String("hidePreview"))
        return m_hidePreview;
    return m_exitOnClose;
}

QVariantMap BasicSettings::switches() const
{
    QVariantMap values;
    for (const char *key : {"remember", "auto", "bootup", "doNotDisturb", "hidePreview", "exit"})
        values.insert(QLatin1String(key), valueOf(QLatin1String(key)));
    return values;
}

void BasicSettings::setValue(const QString &key, bool on)
{
    if (key == QLatin1String("remember"))
        setRemember(on);
    else if (key == QLatin1String("auto"))
        setAutoLogin(on);
    else if (key == QLatin1String("bootup"))
        setStartWithSystem(on);
    else if (key == QLatin1String("doNotDisturb"))
        setDoNotDisturb(on);
    else if (key == QLatin1String("hidePreview"))
        setHidePreview(on);
    else
        setExitOnClose(on);
}

void BasicSettings::setFlag(bool &value, bool on, const QString &key)
{
    value = on;
    m_config.setCurrentMainFile(flag(on), key);
    emit changed();
}

void BasicSettings::setRemember(bool on)
{
    setFlag(m_remember, on, QStringLiteral("rememberPassword"));
    if (on)
        return;
    m_config.setCurrentMainFile(QString(), QStringLiteral("currentPassword"));
    const QString account = m_config.getCurrentMainFile(QStringLiteral("currentAccount"));
    if (!account.isEmpty())
        m_config.setAccountPassword(account, QString());
    if (m_autoLogin)
        setAutoLogin(false);
}

void BasicSettings::setAutoLogin(bool on)
{
    setFlag(m_autoLogin, on, QStringLiteral("autoLogin"));
    if (on && !m_remember)
        setRemember(true);
}

void BasicSettings::setStartWithSystem(bool on)
{
    m_config.setStartCompany(on);
    // What the system holds now, in case it refused the change.
    m_startWithSystem = m_config.getStartCompany();
    emit changed();
}

void BasicSettings::setExitOnClose(bool on)
{
    m_exitOnClose = on;
    m_config.setExitbtnStatus(on);
    emit changed();
}

void BasicSettings::setSystemBrowser(bool on)
{
    setFlag(m_systemBrowser, on, QStringLiteral("systemBrowser"));
}

void BasicSettings::setHidePreview(bool on)
{
    setFlag(m_hidePreview, on, QStringLiteral("hidePreview"));
}

void BasicSettings::setDoNotDisturb(bool on)
{
    setFlag(m_doNotDisturb, on, QStringLiteral("doNotDisturb"));
}

bool BasicSettings::chooseLanguage(const QString &code)
{
    if (m_serverAddress.isEmpty() || code.isEmpty())
        return false;
    m_currentLang = code;
    m_config.addServerAddress(m_serverAddress, code);
    emit changed();
    return true;
}

void BasicSettings::takeLanguages(const QStringList &codes)
{
    if (codes == m_langCodes)
        return;
    m_langCodes = codes;
    emit langCodesChanged();
}

QString BasicSettings::downloadFolderUrl() const
{
    return folderUrl(m_downloadFolder);
}

void BasicSettings::takeFolder(const QString &url)
{
    const QString path = localPath(url);
    if (path.isEmpty())
        return;
    m_downloadFolder = path;
    m_config.setBrowserPath(path, downloadKey());
    emit changed();
}

void BasicSettings::restoreDefaultFolder()
{
    takeFolder(folderUrl(m_config.getDefaultDownloadPath()));
}

QString BasicSettings::folderUrl(const QString &path)
{
    QString text = path;
    while (text.startsWith(QLatin1Char('/')))
        text.remove(0, 1);
    return QStringLiteral("file:///") + text;
}

QString BasicSettings::localPath(const QString &url)
{
    const QString text = QUrl::fromPercentEncoding(url.toUtf8());
    static const QRegularExpression drive(QStringLiteral("^file:///[A-Za-z]:"));
    if (drive.match(text).hasMatch())
        return text.mid(8);
    if (text.startsWith(QLatin1String("file://")))
        return text.mid(7);
    return text;
}
