#include "loginreply.h"

#include "config/configfile.h"
#include "directory/treemodelitem.h"
#include "logging.h"
#include "net/replyenvelope.h"
#include "reminders/menumodel.h"
#include "session/parameterinfor.h"
#include "json/jsonfield.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject member(const QJsonObject &object, const char *name)
{
    return object.value(QLatin1String(name)).toObject();
}

QString roleNameOf(const QJsonObject &user)
{
    const QJsonValue manyRoles = user.value(QLatin1String("user_has_many_role"));
    if (manyRoles.isArray()) {
        const QJsonArray roles = manyRoles.toArray();
        for (const QJsonValue &role : roles) {
            const QString name = JsonField::text(
                member(role.toObject(), "has_one_role").value(QLatin1String("role_name")));
            if (!name.isEmpty())
                return name;
        }
        return QString();
    }
    const QJsonArray roles = user.value(QLatin1String("roles")).toArray();
    for (const QJsonValue &role : roles) {
        const QString name = JsonField::text(role.toObject().value(QLatin1String("role_name")));
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

// request_time: milliseconds since the epoch, usually as decimal text. Anything that is not a
// whole number leaves the messaging clock alone rather than setting it to the epoch.
bool readClock(const QJsonValue &value, qint64 *clock)
{
    bool ok = false;
    const qint64 number = JsonField::id(value).trimmed().toLongLong(&ok);
    if (ok)
        *clock = number;
    return ok;
}

} // namespace

LoginReply LoginReply::read(const ReplyEnvelope &envelope)
{
    LoginReply reply;
    reply.m_body = envelope.body();
    const QJsonObject data = envelope.dataObject();
    reply.m_token = JsonField::id(data.value(QLatin1String("token")));

    const QJsonValue clientUrl = data.value(QLatin1String("client_url"));
    reply.m_hasClientUrl = clientUrl.isString();
    reply.m_clientUrl = clientUrl.toString();

    const QJsonObject user = member(data, "current_user");
    reply.m_userId = JsonField::id(user.value(QLatin1String("user_id")));
    reply.m_userName = JsonField::text(user.value(QLatin1String("user_name")));
    if (user.contains(QLatin1String("user_has_one_system_info"))) {
        reply.m_deptName = JsonField::text(member(member(user, "user_has_one_system_info"),
                                                  "user_system_info_belongs_to_department")
                                               .value(QLatin1String("dept_name")));
    } else {
        reply.m_deptName = JsonField::text(user.value(QLatin1String("dept_name")));
    }

    const QJsonValue userSystemInfo = user.value(QLatin1String("system_info"));
    const QJsonObject systemInfo =
        userSystemInfo.isObject() ? userSystemInfo.toObject() : member(data, "system_info");
    reply.m_systemInfo =
        QString::fromUtf8(QJsonDocument(systemInfo).toJson(QJsonDocument::Indented));
    reply.m_roleName = roleNameOf(user);

    const QJsonObject im = member(data, "im_config");
    reply.m_imHost = JsonField::id(im.value(QLatin1String("IM_HOST")));
    reply.m_imPort = JsonField::id(im.value(QLatin1String("IM_PORT")));
    reply.m_imPortHttps = JsonField::id(im.value(QLatin1String("IM_PORT_HTTPS")));

    reply.m_hasServerClock =
        readClock(data.value(QLatin1String("request_time")), &reply.m_serverClock);
    return reply;
}

void LoginReply::distribute() const
{
    MenuModel::instance()->setMenuData(m_body);
    if (m_hasClientUrl) {
        ConfigFile::instance()->setWebSystemIp(m_clientUrl);
        ConfigFile::instance()->setClientUrlFlag(true);
    }

    ParameterInfor *parameters = ParameterInfor::instance();
    // A new sign-in gives a server that stayed silent before another chance at user look-ups.
    parameters->forgetSilentServer();
    TreeModelitem::forgetSilentServer();
    parameters->setImPortHttps(m_imPortHttps);
    parameters->setImHost(m_imHost);
    parameters->setImPort(m_imPort);
    parameters->setUserId(m_userId);
    parameters->setSystemInfo(m_systemInfo);
    qCDebug(lcSignin) << "signed in as user" << m_userId;
}
