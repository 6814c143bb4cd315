#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The documents' view of the language store: every instance forwards to the single
// LanguageInformation and re-emits its signals.
class HttplanguagePackage : public QObject
{
    Q_OBJECT
public:
    explicit HttplanguagePackage(QObject *parent = nullptr);

    Q_INVOKABLE void getLangPackages(const QString &serverIps);
    // The settings' current server; the updater's window has no address of its own.
    Q_INVOKABLE void getLangPackages();
    Q_INVOKABLE void getLangPackagesFile(const QString &langCode, const QString &serverIps);
    Q_INVOKABLE void getLangPackagesFile(const QString &langCode);
    Q_INVOKABLE void getLangPackagesFile();
    // The texts of the language kept for the settings' current server, when one is kept.
    Q_INVOKABLE void loadStoredLanguage();
    Q_INVOKABLE QString getLangName(const QString &lang_code) const;
    Q_INVOKABLE QString getLangFileName(const QString &lang_code) const;
    Q_INVOKABLE QStringList getLangKeys() const;

signals:
    void sigLangueList();
    void sigLangueFileList();
};
