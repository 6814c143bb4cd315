#pragma once

#include "configdata.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The settings window's first page as values: sign-in options, starting with the system, the
// browser, the download folder, the close button, notifications and the current server's
// language. Each change is written at once; reload() reads everything again.
class BasicSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool rememberPassword READ rememberPassword NOTIFY changed)
    Q_PROPERTY(bool autoLogin READ autoLogin NOTIFY changed)
    Q_PROPERTY(bool startWithSystem READ startWithSystem NOTIFY changed)
    Q_PROPERTY(bool exitOnClose READ exitOnClose NOTIFY changed)
    Q_PROPERTY(bool systemBrowser READ systemBrowser NOTIFY changed)
    Q_PROPERTY(bool hidePreview READ hidePreview NOTIFY changed)
    Q_PROPERTY(bool doNotDisturb READ doNotDisturb NOTIFY changed)
    // Every switch by its key, as valueOf gives it: a binding on it follows each change.
    Q_PROPERTY(QVariantMap switches READ switches NOTIFY changed)
    Q_PROPERTY(QString downloadFolder READ downloadFolder NOTIFY changed)
    // The current server as the server list keys it, and the language chosen for it.
    Q_PROPERTY(QString serverAddress READ serverAddress NOTIFY changed)
    Q_PROPERTY(QString currentLang READ currentLang NOTIFY changed)
    // The languages the current server offers, by code.
    Q_PROPERTY(QStringList langCodes READ langCodes NOTIFY langCodesChanged)
public:
    explicit BasicSettings(QObject *parent = nullptr);

    // The settings key that holds the download folder (read by the built-in browser too).
    static QString downloadKey() { return QStringLiteral("browserPath"); }

    bool rememberPassword() const { return m_remember; }
    bool autoLogin() const { return m_autoLogin; }
    bool startWithSystem() const { return m_startWithSystem; }
    bool exitOnClose() const { return m_exitOnClose; }
    bool systemBrowser() const { return m_systemBrowser; }
    bool hidePreview() const { return m_hidePreview; }
    bool doNotDisturb() const { return m_doNotDisturb; }
    QVariantMap switches() const;
    QString downloadFolder() const { return m_downloadFolder; }
    QString serverAddress() const { return m_serverAddress; }
    QString currentLang() const { return m_currentLang; }
    QStringList langCodes() const { return m_langCodes; }

    Q_INVOKABLE void reload();
    // The switches by their keys: "remember", "auto", "bootup", "doNotDisturb", "hidePreview";
    // any other key is the close button's.
    Q_INVOKABLE bool valueOf(const QString &key) const;
    Q_INVOKABLE void setValue(const QString &key, bool on);
    // Not remembering the password also forgets the one already saved, and auto-login needs it.
    Q_INVOKABLE void setRemember(bool on);
    Q_INVOKABLE void setAutoLogin(bool on);
    Q_INVOKABLE void setStartWithSystem(bool on);
    Q_INVOKABLE void setExitOnClose(bool on);
    Q_INVOKABLE void setSystemBrowser(bool on);
    Q_INVOKABLE void setHidePreview(bool on);
    Q_INVOKABLE void setDoNotDisturb(bool on);
    // Keeps `code` for the current server; false (and nothing kept) without a server or code.
    Q_INVOKABLE bool chooseLanguage(const QString &code);
    // The list as the server gave it; the same list again changes nothing, so the choices are
    // not rebuilt under the keyboard focus when another view asks for it.
    Q_INVOKABLE void takeLanguages(const QStringList &codes);
    // The download folder as a folder dialog starts in it.
    Q_INVOKABLE QString downloadFolderUrl() const;
    // Takes the folder a dialog chose; an empty one is ignored.
    Q_INVOKABLE void takeFolder(const QString &url);
    Q_INVOKABLE void restoreDefaultFolder();

    // "file:///" and the path; a path from a folder URL ("file:///C:/x" keeps its drive letter).
    static QString folderUrl(const QString &path);
    static QString localPath(const QString &url);

signals:
    void changed();
    void langCodesChanged();

private:
    void setFlag(bool &value, bool on, const QString &key);

    ConfigData m_config;
    bool m_remember = false;
    bool m_autoLogin = false;
    bool m_startWithSystem = false;
    bool m_exitOnClose = false;
    bool m_systemBrowser = false;
    bool m_hidePreview = false;
    bool m_doNotDisturb = false;
    QString m_downloadFolder;
    QString m_serverAddress;
    QString m_currentLang;
    QStringList m_langCodes;
};
