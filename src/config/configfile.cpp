#include "configfile.h"

#include "config/secretseal.h"
#include "logging.h"
#include "platform/privatefiles.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>

#include <mutex>
#include <utility>

namespace {

const QString kMainGroup = QStringLiteral("mainconfig");
const QString kServerIpKey = QStringLiteral("currentServerIp");
const QString kServerAddressKey = QStringLiteral("serverAddress");
const QString kPasswordKey = QStringLiteral("currentPassword");
const QString kServerListGroup = QStringLiteral("serverAddress");
const QString kCertificatePinGroup = QStringLiteral("certificatePins");

std::mutex &instanceMutex()
{
    static std::mutex mutex;
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

// How earlier versions kept a password: Base64 of its UTF-8 bytes.
QString decodeOldPassword(const QString &stored)
{
    return QString::fromUtf8(QByteArray::fromBase64(stored.toLatin1()));
}

// Passwords are sealed in the file under the installation's key. One store lives at a time,
// and its seal is used only under that store's lock.
std::unique_ptr<SecretSeal> &currentSeal()
{
    static std::unique_ptr<SecretSeal> seal;
    return seal;
}

QString sealPassword(const QString &password)
{
    return currentSeal() ? currentSeal()->seal(password) : QString();
}

QString openPassword(const QString &stored)
{
    return currentSeal() ? currentSeal()->open(stored) : QString();
}

// Passwords written by earlier versions (Base64 only) are sealed in place, before anything
// reads them.
void sealOldPasswords(QSettings &settings)
{
    static const QRegularExpression passwordKey(QStringLiteral(
        "^(accounts[0-9a-f]{32}/.+|(mainconfig|status[0-9a-f]{32})/currentPassword)$"));
    bool changed = false;
    const QStringList keys = settings.allKeys();
    for (const QString &key : keys) {
        const QString value = settings.value(key).toString();
        if (!passwordKey.match(key).hasMatch() || value.isEmpty() || SecretSeal::isSealed(value))
            continue;
        settings.setValue(key, sealPassword(decodeOldPassword(value)));
        changed = true;
    }
    if (changed)
        settings.sync();
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
    std::lock_guard<std::mutex> locker(instanceMutex());
    ConfigFile *&store = instancePointer();
    if (!store)
        store = new ConfigFile(defaultBaseDirectory());
    return store;
}

ConfigFile *ConfigFile::resetForTests(const QString &baseDir)
{
    std::lock_guard<std::mutex> locker(instanceMutex());
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
    auto settings = std::make_unique<QSettings>(m_settingsFile, QSettings::IniFormat);
    settings->setIniCodec("UTF-8");
    // The file is parsed lazily; touch it so a damaged file shows in status() now.
    settings->allKeys();
    switch (settings->status()) {
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
    m_store.update([&](Store &store) {
        store.settings = std::move(settings);
        currentSeal() =
            std::make_unique<SecretSeal>(m_settingsFolder + QStringLiteral("installation.key"));
        sealOldPasswords(*store.settings);
    });
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

QString ConfigFile::readValue(Store &store, const QString &group, const QString &key,
                              const QString &fallback)
{
    if (!store.settings || key.isEmpty())
        return fallback;
    const QVariant value = store.settings->value(group + QLatin1Char('/') + key, fallback);
    // An unquoted value with commas, written by hand, reads back as a list.
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void ConfigFile::writeValue(Store &store, const QString &group, const QString &key,
                            const QString &value)
{
    // An empty key would land outside the group.
    if (!store.settings || key.isEmpty())
        return;
    retryAfterFailure(store);
    store.settings->setValue(group + QLatin1Char('/') + key, value);
    sync(store);
}

void ConfigFile::removeValue(Store &store, const QString &group, const QString &key)
{
    if (!store.settings || key.isEmpty())
        return;
    retryAfterFailure(store);
    store.settings->remove(group + QLatin1Char('/') + key);
    sync(store);
}

void ConfigFile::sync(Store &store)
{
    // QSettings writes the whole file to a temporary one and renames it over the old.
    store.settings->sync();
    store.writeFailed = store.settings->status() != QSettings::NoError;
    if (!store.writeFailed) {
        store.diskFull = false;
        return;
    }
    const QString file = store.settings->fileName();
    store.diskFull = QStorageInfo(QFileInfo(file).absolutePath()).bytesAvailable() <
                     QFileInfo(file).size() + 64 * 1024;
    qCWarning(lcConfig) << "settings file" << file << "not written"
                        << (store.diskFull ? "(disk full)" : "");
}

void ConfigFile::retryAfterFailure(Store &store)
{
    if (!store.writeFailed || !store.settings)
        return;
    // A QSettings keeps its error for good, and the changes it could not write stay in the
    // cache it shares with any other object on the same file: a new one (made now, as making
    // it syncs) writes them with this change and reports this write's own outcome.
    auto fresh = std::make_unique<QSettings>(store.settings->fileName(), QSettings::IniFormat);
    fresh->setIniCodec("UTF-8");
    store.settings = std::move(fresh);
}

bool ConfigFile::writeFailed()
{
    return m_store.read([](const Store &store) { return store.writeFailed; });
}

bool ConfigFile::writeFailedForSpace()
{
    return m_store.read([](const Store &store) { return store.writeFailed && store.diskFull; });
}

QStringList ConfigFile::keysOf(Store &store, const QString &group)
{
    if (!store.settings)
        return {};
    store.settings->beginGroup(group);
    // allKeys, not childKeys: a key holding "/" is stored as a sub-group.
    const QStringList keys = store.settings->allKeys();
    store.settings->endGroup();
    return keys;
}

void ConfigFile::refreshServer(Store &store, const QString &storedAddress)
{
    if (!store.loginServerLocked)
        store.currentServer = normaliseAddress(storedAddress);
    store.severIpMd5 = serverDigest(store.currentServer);
}

QString ConfigFile::serverGroup(Store &store, const QString &prefix)
{
    mainConfig(store, kServerIpKey);
    return prefix + store.severIpMd5;
}

QString ConfigFile::mainConfig(Store &store, const QString &key)
{
    if (!store.settings)
        return {};
    if (isServerKey(key) && !store.loginServerLocked) {
        refreshServer(store, readValue(store, kMainGroup, kServerIpKey));
        const QString value = readValue(store, QStringLiteral("status") + store.severIpMd5, key);
        return key == kPasswordKey ? openPassword(value) : value;
    }
    QString value = readValue(store, kMainGroup, key);
    if (key == kServerIpKey) {
        refreshServer(store, value);
        value = store.currentServer;
    } else if (key == kPasswordKey) {
        // Under the lock the mainconfig copy is read; it is sealed like the other one.
        value = openPassword(value);
    }
    return value;
}

QString ConfigFile::getMainConfig(const QString &key)
{
    return m_store.update([&](Store &store) { return mainConfig(store, key); });
}

void ConfigFile::setMainConfig(const QString &key, const QString &value)
{
    m_store.update([&](Store &store) {
        if (!store.settings)
            return;
        QString stored = key == kPasswordKey ? sealPassword(value) : value;
        if (isServerKey(key)) {
            refreshServer(store, readValue(store, kMainGroup, kServerIpKey));
            writeValue(store, QStringLiteral("status") + store.severIpMd5, key, stored);
        }
        if (key == kServerIpKey || key == kServerAddressKey)
            stored.remove(QStringLiteral("http://"));
        writeValue(store, kMainGroup, key, stored);
    });
}

void ConfigFile::setLoginServerIp()
{
    m_store.update([&](Store &store) {
        // Lock onto the server in use; if none was read yet, onto the one the file names.
        if (store.currentServer.isEmpty())
            refreshServer(store, readValue(store, kMainGroup, kServerIpKey));
        store.loginServerLocked = true;
    });
}

void ConfigFile::forgetAccount()
{
    m_store.update([](Store &store) { store.loginServerLocked = false; });
    prepareScratchFolder(imageFolderPath(), m_baseDir);
}

bool ConfigFile::loginServerLocked() const
{
    return m_store.read([](const Store &store) { return store.loginServerLocked; });
}

QString ConfigFile::currentServerAddress() const
{
    return m_store.read([](const Store &store) { return store.currentServer; });
}

QString ConfigFile::severIpMd5() const
{
    return m_store.read([](const Store &store) { return store.severIpMd5; });
}

void ConfigFile::setWebSystemIp(const QString &address)
{
    m_webSystemIp.set(address);
}

QString ConfigFile::webSystemIp() const
{
    return m_webSystemIp.get();
}

void ConfigFile::setClientUrlFlag(bool flag)
{
    m_clientUrlFlag.set(flag);
}

bool ConfigFile::clientUrlFlag() const
{
    return m_clientUrlFlag.get();
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
    m_store.update([&](Store &store) {
        writeValue(store, kServerListGroup, serverListKey(address), langues);
    });
}

QStringList ConfigFile::getServerAddress()
{
    return m_store.update([&](Store &store) -> QStringList {
        QStringList addresses = keysOf(store, kServerListGroup);
        for (QString &address : addresses)
            address = serverListAddress(address);
        return addresses;
    });
}

QString ConfigFile::getServerAddressLangue(const QString &address)
{
    return m_store.update([&](Store &store) -> QString {
        return readValue(store, kServerListGroup, serverListKey(address));
    });
}

void ConfigFile::removeServerAddress(const QString &address)
{
    m_store.update(
        [&](Store &store) { removeValue(store, kServerListGroup, serverListKey(address)); });
}

QString ConfigFile::currentServerLanguage()
{
    return m_store.update([&](Store &store) -> QString {
        return readValue(store, kServerListGroup, serverListKey(mainConfig(store, kServerIpKey)));
    });
}

QString ConfigFile::certificatePin(const QString &origin)
{
    // Keyed by the origin's digest: an origin holds "//" and ":", which keys cannot.
    return m_store.update([&](Store &store) -> QString {
        return readValue(store, kCertificatePinGroup, serverDigest(origin));
    });
}

void ConfigFile::setCertificatePin(const QString &origin, const QString &digestHex)
{
    m_store.update([&](Store &store) {
        if (digestHex.isEmpty())
            removeValue(store, kCertificatePinGroup, serverDigest(origin));
        else
            writeValue(store, kCertificatePinGroup, serverDigest(origin), digestHex);
    });
}

QStringList ConfigFile::getAllAccount()
{
    return m_store.update([&](Store &store) -> QStringList {
        return keysOf(store, serverGroup(store, QStringLiteral("accounts")));
    });
}

QString ConfigFile::getAccountPassword(const QString &accounts)
{
    return m_store.update([&](Store &store) -> QString {
        return openPassword(
            readValue(store, serverGroup(store, QStringLiteral("accounts")), accounts));
    });
}

void ConfigFile::setAccountPassword(const QString &accounts, const QString &password)
{
    m_store.update([&](Store &store) {
        writeValue(store, serverGroup(store, QStringLiteral("accounts")), accounts,
                   sealPassword(password));
    });
}

QString ConfigFile::getAccountImage(const QString &accounts)
{
    return m_store.update([&](Store &store) -> QString {
        return readValue(store, serverGroup(store, QStringLiteral("headImage")), accounts);
    });
}

void ConfigFile::setAccountImage(const QString &accounts, const QString &images)
{
    m_store.update([&](Store &store) {
        writeValue(store, serverGroup(store, QStringLiteral("headImage")), accounts, images);
    });
}

void ConfigFile::removeAccount(const QString &accounts)
{
    m_store.update([&](Store &store) {
        removeValue(store, serverGroup(store, QStringLiteral("accounts")), accounts);
        removeValue(store, serverGroup(store, QStringLiteral("headImage")), accounts);
    });
}

QString ConfigFile::getBrowserPath(const QString &confiles)
{
    return m_store.update([&](Store &store) -> QString {
        return readValue(store, serverGroup(store, QStringLiteral("browser")), confiles,
                         defaultDownloadPath());
    });
}

void ConfigFile::setBrowserPath(const QString &name, const QString &confiles)
{
    m_store.update([&](Store &store) {
        writeValue(store, serverGroup(store, QStringLiteral("browser")), confiles, name);
    });
}

bool ConfigFile::getExitbtnStatus()
{
    return m_store.update([&](Store &store) -> bool {
        return readValue(store, serverGroup(store, QStringLiteral("exitview")),
                         QStringLiteral("exitview"),
                         QStringLiteral("false")) == QLatin1String("true");
    });
}

void ConfigFile::setExitbtnStatus(bool status)
{
    m_store.update([&](Store &store) {
        writeValue(store, serverGroup(store, QStringLiteral("exitview")),
                   QStringLiteral("exitview"),
                   status ? QStringLiteral("true") : QStringLiteral("false"));
    });
}

QStringList ConfigFile::getCurrentChat(const QString &userId)
{
    return m_store.update([&](Store &store) -> QStringList {
        return keysOf(store, serverGroup(store, QStringLiteral("currentChatId") + userId));
    });
}

QString ConfigFile::getCurrentChatName(const QString &userId, const QString &ids)
{
    return m_store.update([&](Store &store) -> QString {
        return readValue(store, serverGroup(store, QStringLiteral("currentChatId") + userId), ids);
    });
}

QString ConfigFile::getCurrentChatTypes(const QString &userId, const QString &ids)
{
    return m_store.update([&](Store &store) -> QString {
        return readValue(store, serverGroup(store, QStringLiteral("currentChatType") + userId),
                         ids);
    });
}

void ConfigFile::setCurrentChatName(const QString &userId, const QString &ids, const QString &names)
{
    m_store.update([&](Store &store) {
        writeValue(store, serverGroup(store, QStringLiteral("currentChatId") + userId), ids, names);
    });
}

void ConfigFile::setCurrentChatTypes(const QString &userId, const QString &ids,
                                     const QString &types)
{
    m_store.update([&](Store &store) {
        writeValue(store, serverGroup(store, QStringLiteral("currentChatType") + userId), ids,
                   types);
    });
}

void ConfigFile::removeCurrentChat(const QString &userId, const QString &ids)
{
    m_store.update([&](Store &store) {
        removeValue(store, serverGroup(store, QStringLiteral("currentChatType") + userId), ids);
        removeValue(store, serverGroup(store, QStringLiteral("currentChatId") + userId), ids);
    });
}

bool ConfigFile::judgeCurrentChatName(const QString &userId, const QString &ids)
{
    return m_store.update([&](Store &store) -> bool {
        if (!store.settings || ids.isEmpty())
            return false;
        return store.settings->contains(
            serverGroup(store, QStringLiteral("currentChatId") + userId) + QLatin1Char('/') + ids);
    });
}

QStringList ConfigFile::getHistoricalRecord()
{
    return m_store.update([&](Store &store) -> QStringList {
        return keysOf(store, serverGroup(store, QStringLiteral("historicalRecord")));
    });
}

QString ConfigFile::getHistoricalGroup(const QString &names)
{
    return m_store.update([&](Store &store) -> QString {
        return readValue(store, serverGroup(store, QStringLiteral("historicalRecord")), names);
    });
}

void ConfigFile::setHistoricalRecord(const QString &name, const QString &types)
{
    m_store.update([&](Store &store) {
        writeValue(store, serverGroup(store, QStringLiteral("historicalRecord")), name, types);
    });
}

void ConfigFile::removeHistoricalRecord(const QString &name)
{
    m_store.update([&](Store &store) {
        removeValue(store, serverGroup(store, QStringLiteral("historicalRecord")), name);
    });
}
