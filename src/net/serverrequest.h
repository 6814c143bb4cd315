#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QPair>
#include <QString>
#include <QVector>

class QNetworkReply;

// The one way to address the OA server over HTTP: base URL, headers, TLS settings, form bodies
// and bounded synchronous waits. Every request of the client is built here.
class ServerRequest
{
public:
    enum class Body {
        None,     // GET without a declared body type
        Form,     // application/x-www-form-urlencoded
        Json,     // application/json
        JsonUtf8, // application/json;charset=UTF-8 (QR code, token refresh)
    };

    static const char *userAgent() { return "Tarnex Client/10.0"; }
    // Limit of every synchronous wait for a data request.
    static constexpr int dataWaitMs = 30000;

    // address (normalised by the settings store) + "/tarnex10/server/public/"
    static QString baseUrl(const QString &address);
    // The settings' current server, normalised.
    static QString currentAddress();
    static QString currentBaseUrl();

    // A request with the User-Agent, the content type of `body`, the TLS settings and, when
    // `authorised`, the "Bearer" token of the signed-in user.
    static QNetworkRequest make(const QString &url, Body body = Body::Form,
                                bool authorised = false);
    static void applyTls(QNetworkRequest &request);

    // name=value pairs joined by "&"; each value is percent-encoded so "&", "=", "+" and "%"
    // arrive intact.
    static QByteArray formBody(const QVector<QPair<QString, QString>> &fields);

    // Waits in a local event loop until `reply` finishes or `limitMs` passes. Returns true when
    // it finished; an unfinished reply is aborted so it reads as a transport failure.
    static bool waitFor(QNetworkReply *reply, int limitMs = dataWaitMs);
};
