#include "configfile.h"

#include "logging.h"
#include "platform/privatefiles.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString kMainGroup = QStringLiteral("mainconfig");
const QString kServerIpKey = QStringLiteral("currentServerIp");
const QString kServerAddressKey = QStringLiteral("serverAddress");
const QString kPasswordKey = QStringLiteral("currentPassword");
const QString kServerListGroup = QStringLiteral("serverAddress");

QMutex &instanceMutex()
{
    static QMutex mutex;
    return mutex;
}

ConfigFile *&instancePointer()
{
    static ConfigFile *store = nullptr;
    return store;
}

bool isServerKey(const QString &key)
{
    return key == QLatin1String("currentAccount") || key == QLatin1String("currentPassword") ||
           key == QLatin1String("rememberPassword") || key == QLatin1String("autoLogin");
}

QString defaultBaseDirectory()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return documents;
}

QString withTrailingSlash(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

// Settings keys cannot hold "//", so "https://host" is kept as "https:/host".
QString serverListKey(QString address)
{
    address.remove(QStringLiteral("http://"));
    if (address.startsWith(QLatin1String("https://")))
        address.remove(6, 1);
    return address;
}

QString serverListAddress(const QString &key)
{
    if (key.startsWith(QLatin1String("https:/")) && !key.startsWith(QLatin1String("https://")))
        return QStringLiteral("https://") + key.mid(7);
    return key;
}

QString encodePassword(const QString &password)
{
    return QString::fromLatin1(password.toUtf8().toBase64());
}

QString decodePassword(const QString &stored)
{
    return QString::fromUtf8(QByteArray::fromBase64(stored.toLatin1()));
}

// Temporary folders: created when missing, otherwise emptied of files; sub-folders stay.
void prepareScratchFolder(const QString &path, const QString &base)
{
    PrivateFiles::makeFolder(path, base);
    QDir dir(path);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries)
        QFile::remove(entry.absoluteFilePath());
}

} // namespace

ConfigFile *ConfigFile::instance()
{
    QMutexLocker locker(&instanceMutex());
    ConfigFile *&store = instancePointer();
    if (!store)
        store = new ConfigFile(defaultBaseDirectory());
    return store;
}

ConfigFile *ConfigFile::resetForTests(const QString &baseDir)
{
    QMutexLocker locker(&instanceMutex());
    ConfigFile *&store = instancePointer();
    delete store;
    store = new ConfigFile(baseDir);
    return store;
}

ConfigFile::ConfigFile(const QString &baseDir)
    : m_baseDir(withTrailingSlash(baseDir))
    , m_settingsFolder(m_baseDir + QStringLiteral("morvane/tarnex/configfile/"))
    , m_settingsFile(m_baseDir + QStringLiteral("morvane/tarnex/configfile") +
                     QStringLiteral("/config.ini"))
{
    prepareFolders();
    openSettings();
}

ConfigFile::~ConfigFile() = default;

void ConfigFile::prepareFolders()
{
    // Passwords, tokens and packages on their way in: for the user's eyes only.
    PrivateFiles::makeFolder(m_settingsFolder, m_baseDir);
    PrivateFiles::prepareFile(m_settingsFile);
    prepareScratchFolder(imageFolderPath(), m_baseDir);
    prepareScratchFolder(updateFolderPath(), m_baseDir);
}

void ConfigFile::openSettings()
{
    m_settings = std::make_unique<QSettings>(m_settingsFile, QSettings::IniFormat);
    m_settings->setIniCodec("UTF-8");
    // The file is parsed lazily; touch it so a damaged file shows in status() now.
    m_settings->allKeys();
    switch (m_settings->status()) {
    case QSettings::NoError:
        break;
    case QSettings::FormatError: {
        // What could be parsed stays in use and the next write replaces the file, so keep the
        // damaged original beside it for inspection.
        const QString copy =
            m_settingsFile + QStringLiteral(".damaged-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
        QFile::copy(m_settingsFile, copy);
        qCWarning(lcConfig) << "settings file" << m_settingsFile
                            << "is damaged; continuing with what could be read, original kept as"
                            << copy;
        break;
    }
    case QSettings::AccessError:
        // Reads give the defaults; changes last for this run only.
        qCWarning(lcConfig) << "settings file" << m_settingsFile
                            << "cannot be read or written; using defaults";
        break;
    }
}

QString ConfigFile::normaliseAddress(const QString &address)
{
    if (address.contains(QLatin1String("https://")) || address.contains(QLatin1String("http://")))
        return address;
    return QStringLiteral("http://") + address;
}

QString ConfigFile::serverDigest(const QString &address)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(normaliseAddress(address).toUtf8(), QCryptographicHash::Md5)
            .toHex());
}

QString ConfigFile::defaultSettingsFolderPath()
{
    return withTrailingSlash(defaultBaseDirectory()) + QStringLiteral("morvane/tarnex/configfile/");
}

QString ConfigFile::defaultDownloadPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

QString ConfigFile::readValue(const QString &group, const QString &key, const QString &fallback)
{
    if (!m_settings || key.isEmpty())
        return fallback;
    const QVariant value = m_settings->value(group + QLatin1Char('/') + key, fallback);
    // An unquoted value with commas, written by hand, reads back as a list.
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void ConfigFile::writeValue(const QString &group, const QString &key, const QString &value)
{
    // An empty key would land outside the group.
    if (!m_settings || key.isEmpty())
        return;
    m_settings->setValue(group + QLatin1Char('/') + key, value);
    m_settings->sync();
}

void ConfigFile::removeValue(const QString &group, const QString &key)
{
    if (!m_settings || key.isEmpty())
        return;
    m_settings->remove(group + QLatin1Char('/') + key);
    m_settings->sync();
}

QStringList ConfigFile::keysOf(const QString &group)
{
    if (!m_settings)
        return {};
    m_settings->beginGroup(group);
    // allKeys, not childKeys: a key holding "/" is stored as a sub-group.
    const QStringList keys = m_settings->allKeys();
    m_settings->endGroup();
    return keys;
}

void ConfigFile::refreshServer(const QString &storedAddress)
{
    if (!m_loginServerLocked)
        m_currentServer = normaliseAddress(storedAddress);
    m_severIpMd5 = serverDigest(m_currentServer);
}

QString ConfigFile::serverGroup(const QString &prefix)
{
    getMainConfig(kServerIpKey);
    return prefix + m_severIpMd5;
}

QString ConfigFile::getMainConfig(const QString &key)
{
    QMutexLocker locker(&m_mutex);
    if (!m_settings)
        return {};
    if (isServerKey(key) && !m_loginServerLocked) {
        refreshServer(readValue(kMainGroup, kServerIpKey));
        const QString value = readValue(QStringLiteral("status") + m_severIpMd5, key);
        return key == kPasswordKey ? decodePassword(value) : value;
    }
    QString value = readValue(kMainGroup, key);
    if (key == kServerIpKey) {
        refreshServer(value);
        value = m_currentServer;
    } else if (key == kPasswordKey) {
        // Under the lock the mainconfig copy is read; it is stored encoded like the other one.
        value = decodePassword(value);
    }
    return value;
}

void ConfigFile::setMainConfig(const QString &key, const QString &value)
{
    QMutexLocker locker(&m_mutex);
    if (!m_settings)
        return;
    QString stored = key == kPasswordKey ? encodePassword(value) : value;
    if (isServerKey(key)) {
        refreshServer(readValue(kMainGroup, kServerIpKey));
        writeValue(QStringLiteral("status") + m_severIpMd5, key, stored);
    }
    if (key == kServerIpKey || key == kServerAddressKey)
        stored.remove(QStringLiteral("http://"));
    writeValue(kMainGroup, key, stored);
}

void ConfigFile::setLoginServerIp()
{
    QMutexLocker locker(&m_mutex);
    // Lock onto the server in use; if none was read yet, onto the one the file names.
    if (m_currentServer.isEmpty())
        refreshServer(readValue(kMainGroup, kServerIpKey));
    m_loginServerLocked = true;
}

bool ConfigFile::loginServerLocked() const
{
    QMutexLocker locker(&m_mutex);
    return m_loginServerLocked;
}

QString ConfigFile::currentServerAddress() const
{
    QMutexLocker locker(&m_mutex);
    return m_currentServer;
}

QString ConfigFile::severIpMd5() const
{
    QMutexLocker locker(&m_mutex);
    return m_severIpMd5;
}

void ConfigFile::setWebSystemIp(const QString &address)
{
    QMutexLocker locker(&m_mutex);
    m_webSystemIp = address;
}

QString ConfigFile::webSystemIp() const
{
    QMutexLocker locker(&m_mutex);
    return m_webSystemIp;
}

void ConfigFile::setClientUrlFlag(bool flag)
{
    QMutexLocker locker(&m_mutex);
    m_clientUrlFlag = flag;
}

bool ConfigFile::clientUrlFlag() const
{
    QMutexLocker locker(&m_mutex);
    return m_clientUrlFlag;
}

QString ConfigFile::baseDirectory() const
{
    return m_baseDir;
}

QString ConfigFile::settingsFolderPath() const
{
    return m_settingsFolder;
}

QString ConfigFile::settingsFilePath() const
{
    return m_settingsFile;
}

QString ConfigFile::imageFolderPath() const
{
    return m_baseDir + QStringLiteral("morvane/tarnex/configimage/");
}

QString ConfigFile::updateFolderPath() const
{
    return m_baseDir + QStringLiteral("morvane/tarnex/configupdate/");
}

void ConfigFile::addServerAddress(const QString &address, const QString &langues)
{
    QMutexLocker locker(&m_mutex);
    writeValue(kServerListGroup, serverListKey(address), langues);
}

QStringList ConfigFile::getServerAddress()
{
    QMutexLocker locker(&m_mutex);
    QStringList addresses = keysOf(kServerListGroup);
    for (QString &address : addresses)
        address = serverListAddress(address);
    return addresses;
}

QString ConfigFile::getServerAddressLangue(const QString &address)
{
    QMutexLocker locker(&m_mutex);
    return readValue(kServerListGroup, serverListKey(address));
}

void ConfigFile::removeServerAddress(const QString &address)
{
    QMutexLocker locker(&m_mutex);
    removeValue(kServerListGroup, serverListKey(address));
}

QString ConfigFile::currentServerLanguage()
{
    QMutexLocker locker(&m_mutex);
    return readValue(kServerListGroup, serverListKey(getMainConfig(kServerIpKey)));
}

QStringList ConfigFile::getAllAccount()
{
    QMutexLocker locker(&m_mutex);
    return keysOf(serverGroup(QStringLiteral("accounts")));
}

QString ConfigFile::getAccountPassword(const QString &accounts)
{
    QMutexLocker locker(&m_mutex);
    return decodePassword(readValue(serverGroup(QStringLiteral("accounts")), accounts));
}

void ConfigFile::setAccountPassword(const QString &accounts, const QString &password)
{
    QMutexLocker locker(&m_mutex);
    writeValue(serverGroup(QStringLiteral("accounts")), accounts, encodePassword(password));
}

QString ConfigFile::getAccountImage(const QString &accounts)
{
    QMutexLocker locker(&m_mutex);
    return readValue(serverGroup(QStringLiteral("headImage")), accounts);
}

void ConfigFile::setAccountImage(const QString &accounts, const QString &images)
{
    QMutexLocker locker(&m_mutex);
    writeValue(serverGroup(QStringLiteral("headImage")), accounts, images);
}

void ConfigFile::removeAccount(const QString &accounts)
{
    QMutexLocker locker(&m_mutex);
    removeValue(serverGroup(QStringLiteral("accounts")), accounts);
    removeValue(serverGroup(QStringLiteral("headImage")), accounts);
}

QString ConfigFile::getBrowserPath(const QString &confiles)
{
    QMutexLocker locker(&m_mutex);
    return readValue(serverGroup(QStringLiteral("browser")), confiles, defaultDownloadPath());
}

void ConfigFile::setBrowserPath(const QString &name, const QString &confiles)
{
    QMutexLocker locker(&m_mutex);
    writeValue(serverGroup(QStringLiteral("browser")), confiles, name);
}

bool ConfigFile::getExitbtnStatus()
{
    QMutexLocker locker(&m_mutex);
    return readValue(serverGroup(QStringLiteral("exitview")), QStringLiteral("exitview"),
                     QStringLiteral("false")) == QLatin1String("true");
}

void ConfigFile::setExitbtnStatus(bool status)
{
    QMutexLocker locker(&m_mutex);
    writeValue(serverGroup(QStringLiteral("exitview")), QStringLiteral("exitview"),
               status ? QStringLiteral("true") : QStringLiteral("false"));
}

QStringList ConfigFile::getCurrentChat(const QString &userId)
{
    QMutexLocker locker(&m_mutex);
    return keysOf(serverGroup(QStringLiteral("currentChatId") + userId));
}

QString ConfigFile::getCurrentChatName(const QString &userId, const QString &ids)
{
    QMutexLocker locker(&m_mutex);
    return readValue(serverGroup(QStringLiteral("currentChatId") + userId), ids);
}

QString ConfigFile::getCurrentChatTypes(const QString &userId, const QString &ids)
{
    QMutexLocker locker(&m_mutex);
    return readValue(serverGroup(QStringLiteral("currentChatType") + userId), ids);
}

void ConfigFile::setCurrentChatName(const QString &userId, const QString &ids, const QString &names)
{
    QMutexLocker locker(&m_mutex);
    writeValue(serverGroup(QStringLiteral("currentChatId") + userId), ids, names);
}

void ConfigFile::setCurrentChatTypes(const QString &userId, const QString &ids,
                                     const QString &types)
{
    QMutexLocker locker(&m_mutex);
    writeValue(serverGroup(QStringLiteral("currentChatType") + userId), ids, types);
}

void ConfigFile::removeCurrentChat(const QString &userId, const QString &ids)
{
    QMutexLocker locker(&m_mutex);
    removeValue(serverGroup(QStringLiteral("currentChatType") + userId), ids);
    removeValue(serverGroup(QStringLiteral("currentChatId") + userId), ids);
}

bool ConfigFile::judgeCurrentChatName(const QString &userId, const QString &ids)
{
    QMutexLocker locker(&m_mutex);
    if (!m_settings || ids.isEmpty())
        return false;
    return m_settings->contains(serverGroup(QStringLiteral("currentChatId") + userId) +
                                QLatin1Char('/') + ids);
}

QStringList ConfigFile::getHistoricalRecord()
{
    QMutexLocker locker(&m_mutex);
    return keysOf(serverGroup(QStringLiteral("historicalRecord")));
}

QString ConfigFile::getHistoricalGroup(const QString &names)
{
    QMutexLocker locker(&m_mutex);
    return readValue(serverGroup(QStringLiteral("historicalRecord")), names);
}

void ConfigFile::setHistoricalRecord(const QString &name, const QString &types)
{
    QMutexLocker locker(&m_mutex);
    writeValue(serverGroup(QStringLiteral("historicalRecord")), name, types);
}

void ConfigFile::removeHistoricalRecord(const QString &name)
{
    QMutexLocker locker(&m_mutex);
    removeValue(serverGroup(QStringLiteral("historicalRecord")), name);
}
