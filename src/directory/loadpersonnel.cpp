#include "loadpersonnel.h"

#include "concurrency/poolmemory.h"
#include "concurrency/stepclock.h"
#include "directory/directoryjson.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "net/serverrequest.h"
#include "json/jsonfield.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtConcurrent>

#include <memory>

#include <utility>

LoadPersonnel *LoadPersonnel::gestance()
{
    static LoadPersonnel *single = new LoadPersonnel;
    return single;
}

void LoadPersonnel::getAllPersonnelInformation()
{
    QString search = QString::fromUtf8(QJsonDocument(QJsonObject()).toJson());
    search.remove(QLatin1Char('\n'));
    search.remove(QLatin1Char('\t'));
    QNetworkAccessManager *manager = m_slot.renew();
    connect(manager, &QNetworkAccessManager::finished, this,
            &LoadPersonnel::onAllPersonnelInformation);
    QNetworkRequest request =
        ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/user/users"),
                            ServerRequest::Body::Form, true);
    manager->post(request, ServerRequest::formBody(
                               {{QStringLiteral("communicate_type"), QStringLiteral("sms")},
                                {QStringLiteral("search"), search}}));
}

void LoadPersonnel::forgetAccount()
{
    ++m_generation;
    m_slot.drop();
    m_names.set({});
    m_loaded = false;
    emit sigPersonnelForgotten();
}

QStringList LoadPersonnel::personnelKeys() const
{
    return m_names.read([](const QMap<QString, QString> &names) { return names.keys(); });
}

QString LoadPersonnel::personnelValue(const QString &userId) const
{
    return m_names.read([&](const QMap<QString, QString> &names) { return names.value(userId); });
}

void LoadPersonnel::onAllPersonnelInformation(QNetworkReply *reply)
{
    reply->deleteLater();
    // Ten thousand users are a few megabytes of JSON: read on the thread pool, and only the
    // finished index is handed to this thread.
    const int generation = m_generation;
    QtConcurrent::run([this, body = DirectoryJson::body(reply), generation] {
        auto names = std::make_shared<std::optional<QMap<QString, QString>>>(readNames(body));
        QMetaObject::invokeMethod(
            this,
            [this, names, generation] {
                // Signed out meanwhile: this reply belonged to the account that went.
                if (generation != m_generation || !names->has_value())
                    return;
                StepClock step;
                step.start();
                const int count = int(names->value().size());
                m_names.set(std::move(**names));
                m_loaded = true;
                emit sigPersonnelLoaded();
                step.stop();
                releasePoolMemory();
                qCDebug(lcDirectory).nospace().noquote()
                    << "user cache loaded: " << count << " users, longest step on the GUI thread "
                    << step.longestText();
            },
            Qt::QueuedConnection);
    });
}

std::optional<QMap<QString, QString>> LoadPersonnel::readNames(const QByteArray &body)
{
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(body);
    qCDebug(lcDirectory) << "personnel reply:" << envelope.body().size() << "bytes";
    if (!envelope.answered())
        return std::nullopt;
    if (!envelope.success()) {
        qCDebug(lcDirectory) << "personnel refused:" << envelope.errorMessage();
        return std::nullopt;
    }
    const QJsonValue list = envelope.dataObject().value(QLatin1String("list"));
    if (!list.isArray()) {
        qCDebug(lcDirectory) << "personnel reply without a list; index kept";
        return std::nullopt;
    }
    QMap<QString, QString> names;
    const QJsonArray users = list.toArray();
    for (const QJsonValue &value : users) {
        const QJsonObject user = value.toObject();
        const QString userId = JsonField::id(user.value(QLatin1String("user_id")));
        // An entry without an id names nobody.
        if (userId.isEmpty())
            continue;
        // A later entry with the same id replaces the earlier name.
        names.insert(userId, JsonField::text(user.value(QLatin1String("user_name"))));
    }
    return names;
}
