#pragma once

#include "referenceserver.h"

#include "config/configfile.h"
#include "net/replyenvelope.h"
#include "net/serverrequest.h"
#include "session/parameterinfor.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

// Shared steps of the directory tests: signing a demo account in against the reference server
// (the directory's requests need its token), steering the server's directory endpoints, and
// fetching a reply the way a class would, to hand it to that class's reply slot.
namespace directorytest {

// Points the settings at `server`, logs `account` in and stores its token and user id.
inline bool signIn(const ReferenceServer &server, const QString &account = QStringLiteral("lina"))
{
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.post(
        ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/auth/login")),
        ServerRequest::formBody({{QStringLiteral("user_account"), account},
                                 {QStringLiteral("password"), QStringLiteral("123456")}}));
    ServerRequest::waitFor(reply, 20000);
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply);
    delete reply;
    if (!envelope.success())
        return false;
    const QJsonObject data = envelope.dataObject();
    ParameterInfor::instance()->setUserId(data.value(QLatin1String("current_user"))
                                              .toObject()
                                              .value(QLatin1String("user_id"))
                                              .toString());
    ParameterInfor::instance()->setToken(data.value(QLatin1String("token")).toString());
    return !ParameterInfor::instance()->token().isEmpty();
}

// Sets how the server answers one directory endpoint ("all" for every one): normal, raw (with
// `body`), garbage, status0, silent or slow; `ids` limits it to those departments or users.
inline void setMode(const ReferenceServer &server, const QString &endpoint, const QString &mode,
                    const QByteArray &body = QByteArray(), const QStringList &ids = {})
{
    const QJsonObject reply = server.hook(
        QStringLiteral("directory"), {{QStringLiteral("endpoint"), endpoint},
                                      {QStringLiteral("mode"), mode},
                                      {QStringLiteral("body"), QString::fromUtf8(body)},
                                      {QStringLiteral("ids"), QJsonArray::fromStringList(ids)}});
    QVERIFY2(reply.value(QLatin1String("ok")).toBool(), "directory hook refused");
}

inline void resetServer(const ReferenceServer &server)
{
    server.hook(QStringLiteral("reset"));
}

// Sends an authorised request to `path` below the API base and waits for its reply. The
// caller hands the finished reply to a reply slot (which deletes it later).
inline QNetworkReply *fetch(QNetworkAccessManager &manager, const QString &path,
                            const QByteArray &postBody = QByteArray())
{
    const QNetworkRequest request = ServerRequest::make(ServerRequest::currentBaseUrl() + path,
                                                        ServerRequest::Body::Form, true);
    QNetworkReply *reply =
        postBody.isNull() ? manager.get(request) : manager.post(request, postBody);
    ServerRequest::waitFor(reply, 20000);
    return reply;
}

// Bad bodies every reader has to survive, keeping what it had.
inline void addBadReplyRows()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("not JSON") << "garbage" << QByteArray();
    QTest::newRow("status 0 with errors") << "status0" << QByteArray();
    QTest::newRow("status 0, no errors") << "raw" << QByteArray(R"({"status":0})");
    QTest::newRow("status 0, empty errors")
        << "raw" << QByteArray(R"({"status":0,"errors":[],"data":{}})");
    QTest::newRow("status as text") << "raw" << QByteArray(R"({"status":"1","data":{}})");
    QTest::newRow("array document") << "raw" << QByteArray(R"([{"status":1}])");
    QTest::newRow("no status") << "raw" << QByteArray(R"({"data":{}})");
    QTest::newRow("data missing") << "raw" << QByteArray(R"({"status":1})");
    QTest::newRow("data is text") << "raw" << QByteArray(R"({"status":1,"data":"x"})");
    QTest::newRow("empty body") << "raw" << QByteArray("");
    QTest::newRow("too deeply nested") << "raw"
                                       << QByteArray(R"({"status":1,"data":)") +
                                              QByteArray(2000, '[') + QByteArray(2000, ']') + '}';
}

} // namespace directorytest
