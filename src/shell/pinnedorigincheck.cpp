#include "pinnedorigincheck.h"

#include "language/text.h"
#include "net/servertrust.h"

#include <QQmlEngine>
#include <QSslSocket>
#include <QTimer>

namespace {

constexpr int kTimeLimitMs = 10000;

} // namespace

QString PinnedOriginCheck::refusalText()
{
    return tarnex::text(QStringLiteral("browser_certificate_refused"),
                        QStringLiteral("无法验证此网站的证书，它也不是已信任的服务器，"
                                       "为了安全，页面没有打开。"));
}

PinnedOriginCheck::PinnedOriginCheck(QObject *parent) : QObject(parent)
{
    connect(this, &PinnedOriginCheck::answered, this, &PinnedOriginCheck::settle);
}

void PinnedOriginCheck::hold(QObject *error)
{
    if (!error)
        return;
    QMetaObject::invokeMethod(error, "defer");
    // Kept from the script engine's collector while it waits for its answer.
    QQmlEngine::setObjectOwnership(error, QQmlEngine::CppOwnership);
    m_held.append(error);
    check(error->property("url").toUrl());
}

void PinnedOriginCheck::settle(const QUrl &url, bool pinned, const QString &reason)
{
    for (int i = 0; i < m_held.size();) {
        const QPointer<QObject> error = m_held.at(i);
        if (error && error->property("url").toUrl() != url) {
            ++i;
            continue;
        }
        m_held.remove(i);
        if (!error)
            continue;
        if (!pinned)
            emit refused(reason);
        QMetaObject::invokeMethod(error, pinned ? "ignoreCertificate" : "rejectCertificate");
        QQmlEngine::setObjectOwnership(error, QQmlEngine::JavaScriptOwnership);
    }
}

void PinnedOriginCheck::check(const QUrl &url)
{
    const QByteArray pin = ServerTrust::instance()->pinnedDigest(ServerTrust::origin(url));
    if (pin.isEmpty() || url.host().isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, url] { emit answered(url, false, refusalText()); }, Qt::QueuedConnection);
        return;
    }
    auto *socket = new QSslSocket(this);
    // Only the certificate is wanted; whether it is acceptable is the pin's to say.
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    auto *limit = new QTimer(socket);
    limit->setSingleShot(true);
    const auto finish = [this, socket, url](bool pinned) {
        if (socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        socket->abort();
        socket->deleteLater();
        emit answered(url, pinned, pinned ? QString() : refusalText());
    };
    connect(socket, &QSslSocket::encrypted, this, [socket, pin, finish] {
        finish(ServerTrust::digestOf(socket->peerCertificate()) == pin);
    });
    connect(socket, &QAbstractSocket::errorOccurred, this, [finish] { finish(false); });
    connect(limit, &QTimer::timeout, this, [finish] { finish(false); });
    socket->connectToHostEncrypted(url.host(), quint16(url.port(443)));
    limit->start(kTimeLimitMs);
}
