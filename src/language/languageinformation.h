#pragma once

#include "net/requestslot.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class QNetworkReply;

// The process-wide language store: fetches the server's language list and the text table of
// the chosen language, and answers text lookups by key.
class LanguageInformation : public QObject
{
    Q_OBJECT
public:
    static LanguageInformation *instance();

    // An empty address means the settings' current server.
    void requestLanguageList(const QString &serverAddress);
    void requestTextTable(const QString &langCode, const QString &serverAddress);

    QString languageName(const QString &langCode) const { return m_languages.value(langCode); }
    QStringList languageCodes() const { return m_languages.keys(); }
    QString textFor(const QString &key) const { return m_texts.value(key); }
    int textCount() const { return m_texts.size(); }

    // The readers of the two replies. False for a body that is not JSON; the map is replaced
    // only by a reply with status 1, anything else leaves it as it was.
    static bool readLanguageList(const QByteArray &body, QMap<QString, QString> *languages);
    static bool readTextTable(const QByteArray &body, QMap<QString, QString> *texts);

public slots:
    void onLangPackages(QNetworkReply *reply);
    void onLangPackagesFile(QNetworkReply *reply);

signals:
    void sigLangueList();
    void sigLangueFileList();

private:
    LanguageInformation() = default;
    static QString addressOrCurrent(const QString &serverAddress);

    QMap<QString, QString> m_languages;
    QMap<QString, QString> m_texts;
    RequestSlot m_listSlot;
    RequestSlot m_textSlot;
};
