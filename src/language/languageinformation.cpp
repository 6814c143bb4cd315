#include "languageinformation.h"

#include "config/configfile.h"
#include "logging.h"
#include "net/serverrequest.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

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

bool LanguageInformation::readLanguageList(const QByteArray &body,
                                           QMap<QString, QString> *languages)
{
    QJsonValue document;
    if (!PeerJson::parseEscapingControls(body, &document) ||
        !(document.isObject() || document.isArray())) {
        qCDebug(lcLanguage) << "language list is not JSON:" << body.size() << "bytes";
        return false;
    }
    const QJsonObject object = document.toObject();
    if (!document.isObject() || JsonField::integer(object.value(QLatin1String("status"))) != 1)
        return true;
    languages->clear();
    const QJsonArray list =
        object.value(QLatin1String("data")).toObject().value(QLatin1String("list")).toArray();
    for (const QJsonValue &entry : list) {
        const QJsonObject language = entry.toObject();
        languages->insert(JsonField::id(language.value(QLatin1String("lang_code"))),
                          JsonField::text(language.value(QLatin1String("lang_name"))));
    }
    return true;
}

bool LanguageInformation::readTextTable(const QByteArray &body, QMap<QString, QString> *texts)
{
    QJsonValue document;
    if (!PeerJson::parseEscapingControls(body, &document) ||
        !(document.isObject() || document.isArray())) {
        qCDebug(lcLanguage) << "text table is not JSON:" << body.size() << "bytes";
        return false;
    }
    const QJsonObject object = document.toObject();
    if (!document.isObject() || JsonField::integer(object.value(QLatin1String("status"))) != 1)
        return true;
    texts->clear();
    const QJsonObject client =
        object.value(QLatin1String("data")).toObject().value(QLatin1String("client")).toObject();
    for (auto it = client.constBegin(); it != client.constEnd(); ++it)
        texts->insert(it.key(), JsonField::text(it.value()));
    return true;
}

void LanguageInformation::onLangPackages(QNetworkReply *reply)
{
    reply->deleteLater();
    // A body that is not JSON tells nobody; a refusal still ends the wait for the list.
    if (!readLanguageList(reply->readAll(), &m_languages))
        return;
    qCDebug(lcLanguage) << "languages:" << m_languages;
    emit sigLangueList();
}

void LanguageInformation::onLangPackagesFile(QNetworkReply *reply)
{
    reply->deleteLater();
    if (!readTextTable(reply->readAll(), &m_texts))
        return;
    if (!m_texts.isEmpty())
        emit sigLangueFileList();
}
