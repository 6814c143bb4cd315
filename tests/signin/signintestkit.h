#pragma once

#include "referenceserver.h"

#include "config/configfile.h"
#include "directory/handlorganization.h"
#include "shell/loginrequest.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QtTest>

// Shared steps of the sign-in tests: pointing the settings at the reference server, steering
// its sign-in endpoints, and recording the order in which a LoginRequest reports.
namespace signintest {

inline void pointAt(const ReferenceServer &server)
{
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());
}

// endpoint: login, refresh, general, sign-on or all; mode: normal, silent, garbage, raw, status0.
inline void authMode(const ReferenceServer &server, const QString &endpoint, const QString &mode,
                     const QByteArray &body = QByteArray())
{
    const QJsonObject reply = server.hook(QStringLiteral("auth-mode"),
                                          {{QStringLiteral("endpoint"), endpoint},
                                           {QStringLiteral("mode"), mode},
                                           {QStringLiteral("body"), QString::fromUtf8(body)}});
    QVERIFY2(reply.value(QLatin1String("ok")).toBool(), "auth-mode hook refused");
}

inline int qrPolls(const ReferenceServer &server)
{
    return server.hook(QStringLiteral("qr-pending")).value(QLatin1String("polls")).toInt();
}

// Sign-on polls the server holds unanswered now (its silent behaviour).
inline int heldQrPolls(const ReferenceServer &server)
{
    return server.hook(QStringLiteral("qr-pending")).value(QLatin1String("held")).toInt();
}

// Every report of one LoginRequest, and the organisation's completion, in arrival order:
// "name <id> <name>", "first <status> <types> <errors>", "final ...", "organisation". Create
// the log before the request and then watch() it, so the organisation's completion is logged
// before the request reacts to it.
class EventLog : public QObject
{
public:
    EventLog()
    {
        connect(HandlOrganization::gestance(), &HandlOrganization::sigHandlCompletion, this,
                [this] { events << QStringLiteral("organisation"); });
    }

    void watch(LoginRequest *request)
    {
        connect(request, &LoginRequest::sigLoginName, this,
                [this](const QString &id, const QString &name) {
                    events << QStringLiteral("name %1 %2").arg(id, name);
                });
        connect(request, &LoginRequest::sigLoginStatush, this,
                [this](bool status, int types, const QString &errors) {
                    events << outcome(QStringLiteral("first"), status, types, errors);
                });
        connect(request, &LoginRequest::sigLoginStatus, this,
                [this](bool status, int types, const QString &errors) {
                    events << outcome(QStringLiteral("final"), status, types, errors);
                });
    }

    bool hasFinal() const { return !events.filter(QStringLiteral("final ")).isEmpty(); }
    QString lastFinal() const
    {
        const QStringList finals = events.filter(QStringLiteral("final "));
        return finals.isEmpty() ? QString() : finals.last();
    }

    static QString outcome(const QString &kind, bool status, int types, const QString &errors)
    {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(kind, status ? QStringLiteral("true") : QStringLiteral("false"))
            .arg(types)
            .arg(errors);
    }

    QStringList events;
};

} // namespace signintest
