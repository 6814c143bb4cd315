#pragma once

#include "concurrency/lockedvalue.h"

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

// The client's settings store: the single owner of "config.ini" and of the data folders below
// Documents/morvane/tarnex/. Every read and write of the settings goes through it. Most groups
// are kept per server, keyed by the MD5 digest of the current server address.
//
// The GUI thread and the sign-in loader threads both use it, so every operation on the file
// holds one internal lock.
class ConfigFile
{
public:
    // Created on first use (which prepares the folders and opens the file); never destroyed.
    static ConfigFile *instance();

    // For tests: replaces the single store by a fresh one rooted at baseDir (instead of the
    // Documents location), running the start-up folder preparation again. Pointers obtained
    // from instance() before the call are invalid afterwards.
    static ConfigFile *resetForTests(const QString &baseDir);

    ~ConfigFile();

    // Puts "http://" in front of an address that has neither "https://" nor "http://".
    static QString normaliseAddress(const QString &address);
    // Lowercase hexadecimal MD5 of the UTF-8 bytes of the normalised address.
    static QString serverDigest(const QString &address);
    // The user's Downloads location.
    static QString defaultDownloadPath();
    // The settings folder instance() uses, known without creating the store (which empties
    // the scratch folders).
    static QString defaultSettingsFolderPath();

    // Main settings. The keys currentAccount, currentPassword, rememberPassword and autoLogin
    // live per server (and are mirrored into mainconfig); currentServerIp reads back
    // normalised and refreshes the digest; every other key is a plain mainconfig entry.
    QString getMainConfig(const QString &key);
    void setMainConfig(const QString &key, const QString &value);

    // From now on the current server no longer follows mainconfig/currentServerIp for the rest
    // of the process.
    void setLoginServerIp();
    bool loginServerLocked() const;
    // Signing out: the lock goes (the next sign-in may choose another server) and the pictures
    // of the session's scratch folder are deleted.
    void forgetAccount();

    // The normalised current server address and its digest, as of the last read of
    // currentServerIp (or as locked).
    QString currentServerAddress() const;
    QString severIpMd5() const;

    // The web-client address received at login, and whether the server sent one.
    void setWebSystemIp(const QString &address);
    QString webSystemIp() const;
    void setClientUrlFlag(bool flag);
    bool clientUrlFlag() const;

    // The last change could not be written to the file (kept in memory and written with the
    // next change), and whether the disk had no room left.
    bool writeFailed();
    bool writeFailedForSpace();

    // Folder paths, each ending in "/".
    QString baseDirectory() const;
    QString settingsFolderPath() const;
    QString settingsFilePath() const;
    QString imageFolderPath() const;
    QString updateFolderPath() const;

    // Server addresses with the interface language chosen for each. Addresses are stored
    // without "http://"; "https://" is kept.
    void addServerAddress(const QString &address, const QString &langues = QString());
    QStringList getServerAddress();
    QString getServerAddressLangue(const QString &address);
    void removeServerAddress(const QString &address);
    // Language stored for the current server address (empty when none).
    QString currentServerLanguage();

    // The certificate the user trusts for a TLS origin ("https://host:port"): its SHA-256
    // digest as lowercase hex, empty when none is pinned.
    QString certificatePin(const QString &origin);
    void setCertificatePin(const QString &origin, const QString &digestHex);

    // Saved accounts of the current server; passwords given in plain, sealed in the file.
    QStringList getAllAccount();
    QString getAccountPassword(const QString &accounts);
    void setAccountPassword(const QString &accounts, const QString &password);
    QString getAccountImage(const QString &accounts);
    void setAccountImage(const QString &accounts, const QString &images);
    void removeAccount(const QString &accounts);

    // Per-server folder choices; an unset key gives the Downloads location.
    QString getBrowserPath(const QString &confiles);
    void setBrowserPath(const QString &name, const QString &confiles);

    // Whether the close button quits (per server; false when never set).
    bool getExitbtnStatus();
    void setExitbtnStatus(bool status);

    // Recent conversations of one user on the current server. userId is the signed-in user's
    // id (empty before login).
    QStringList getCurrentChat(const QString &userId);
    QString getCurrentChatName(const QString &userId, const QString &ids);
    QString getCurrentChatTypes(const QString &userId, const QString &ids);
    void setCurrentChatName(const QString &userId, const QString &ids, const QString &names);
    void setCurrentChatTypes(const QString &userId, const QString &ids, const QString &types);
    void removeCurrentChat(const QString &userId, const QString &ids);
    bool judgeCurrentChatName(const QString &userId, const QString &ids);

    // Names searched on the current server, with their type ("2" unless given).
    QStringList getHistoricalRecord();
    QString getHistoricalGroup(const QString &names);
    void setHistoricalRecord(const QString &name, const QString &types = QStringLiteral("2"));
    void removeHistoricalRecord(const QString &name);

private:
    explicit ConfigFile(const QString &baseDir);
    ConfigFile(const ConfigFile &) = delete;
    ConfigFile &operator=(const ConfigFile &) = delete;

    // The file and what was last read of the current server; one lock for all of it, as a
    // per-server key depends on the server read just before.
    struct Store
    {
        std::unique_ptr<QSettings> settings;
        QString severIpMd5;
        QString currentServer;
        bool loginServerLocked = false;
        bool writeFailed = false;
        bool diskFull = false;
    };

    void prepareFolders();
    void openSettings();
    // The operations below run with the store's lock held.
    static QString mainConfig(Store &store, const QString &key);
    static void refreshServer(Store &store, const QString &storedAddress);
    static QString serverGroup(Store &store, const QString &prefix);
    static QString readValue(Store &store, const QString &group, const QString &key,
                             const QString &fallback = QString());
    static void writeValue(Store &store, const QString &group, const QString &key,
                           const QString &value);
    static void removeValue(Store &store, const QString &group, const QString &key);
    static void sync(Store &store);
    static void retryAfterFailure(Store &store);
    static QStringList keysOf(Store &store, const QString &group);

    LockedValue<Store> m_store;
    const QString m_baseDir;
    const QString m_settingsFolder;
    const QString m_settingsFile;
    LockedValue<QString> m_webSystemIp;
    LockedValue<bool> m_clientUrlFlag;
};
