#include "languageinformation.h"

#include "config/configfile.h"
#include "logging.h"
#include "net/serverrequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>

LanguageInformation *LanguageInformation::instance()
{
    static LanguageInformation *single = new LanguageInformation;
    return single;
}

QString LanguageInformation::addressOrCurrent(const QString &serverAddress)
{
    if (!serverAddress.isEmpty())
        return serverAddress;
    return ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp"));
}

void LanguageInformation::requestLanguageList(const QString &serverAddress)
{
    const QString url = ServerRequest::baseUrl(addressOrCurrent(serverAddress)) +
                        QStringLiteral("api/lang/effect-packages");
    QNetworkAccessManager *manager = m_listSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &LanguageInformation::onLangPackages);
    manager->get(ServerRequest::make(url, ServerRequest::Body::Form));
}

void LanguageInformation::requestTextTable(const QString &langCode, const QString &serverAddress)
{
    const QString url = ServerRequest::baseUrl(addressOrCurrent(serverAddress)) +
                        QStringLiteral("api/lang/file/client/") + langCode;
    QNetworkAccessManager *manager = m_textSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this,
            &LanguageInformation::onLangPackagesFile);
    manager->get(ServerRequest::make(url, ServerRequest::Body::Form));
}

void LanguageInformation::onLangPackages(QNetworkReply *reply)
{
    reply->deleteLater();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(reply->readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        qCDebug(lcLanguage) << "language list is not JSON:" << error.errorString();
        return;
    }
    const QJsonObject object = document.object();
    if (document.isObject() && object.value(QLatin1String("status")).toInt() == 1) {
        m_languages.clear();
        const QJsonArray list =
            object.value(QLatin1String("data")).toObject().value(QLatin1String("list")).toArray();
        for (const QJsonValue &entry : list) {
            const QJsonObject language = entry.toObject();
            m_languages.insert(language.value(QLatin1String("lang_code")).toString(),
                               language.value(QLatin1String("lang_name")).toString());
        }
    }
    qCDebug(lcLanguage) << "languages:" << m_languages;
    emit sigLangueList();
}

void LanguageInformation::onLangPackagesFile(QNetworkReply *reply)
{
    reply->deleteLater();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(reply->readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        qCDebug(lcLanguage) << "text table is not JSON:" << error.errorString();
        return;
    }
    const QJsonObject object = document.object();
    if (document.isObject() && object.value(QLatin1String("status")).toInt() == 1) {
        m_texts.clear();
        const QJsonObject client = object.value(QLatin1String("data"))
                                       .toObject()
                                       .value(QLatin1String("client"))
                                       .toObject();
        for (auto it = client.constBegin(); it != client.constEnd(); ++it)
            m_texts.insert(it.key(), it.value().toString());
    }
    if (!m_texts.isEmpty())
        emit sigLangueFileList();
}
