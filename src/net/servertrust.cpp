#include "servertrust.h"

#include "config/configfile.h"
#include "logging.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QUrl>

ServerTrust *ServerTrust::instance()
{
    static ServerTrust *trust = new ServerTrust;
    return trust;
}

QString ServerTrust::origin(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("wss"))
        return {};
    return QStringLiteral("https://%1:%2").arg(url.host().toLower()).arg(url.port(443));
}

QByteArray ServerTrust::digestOf(const QSslCertificate &certificate)
{
    if (certificate.isNull())
        return {};
    return certificate.digest(QCryptographicHash::Sha256);
}

QString ServerTrust::fingerprint(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

QSslConfiguration ServerTrust::configuration()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // TLS 1.0 fails against current servers; Qt's secure default stays.
    tls.setProtocol(QSsl::SecureProtocols);
    return tls;
}

void ServerTrust::watch(QNetworkAccessManager *manager)
{
    // Direct: the handshake waits for this answer on the manager's own thread.
    QObject::connect(
        manager, &QNetworkAccessManager::sslErrors, manager,
        [](QNetworkReply *reply, const QList<QSslError> &errors) {
            if (instance()->accept(reply->url(), reply->sslConfiguration().peerCertificate(),
                                   errors))
                reply->ignoreSslErrors(errors);
        },
        Qt::DirectConnection);
}

QByteArray ServerTrust::pinnedDigest(const QString &origin) const
{
    if (origin.isEmpty())
        return {};
    return QByteArray::fromHex(ConfigFile::instance()->certificatePin(origin).toLatin1());
}

void ServerTrust::trust(const QString &origin, const QByteArray &digest)
{
    if (origin.isEmpty() || digest.isEmpty())
        return;
    ConfigFile::instance()->setCertificatePin(origin, QString::fromLatin1(digest.toHex()));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_last.origin == origin && m_last.digest == digest)
            m_last = Refusal();
    }
    Q_EMIT trusted(origin);
}

bool ServerTrust::accept(const QUrl &url, const QSslCertificate &leaf,
                         const QList<QSslError> &errors)
{
    Refusal refusal;
    refusal.origin = origin(url);
    refusal.digest = digestOf(leaf);
    refusal.pinnedDigest = pinnedDigest(refusal.origin);
    if (!refusal.digest.isEmpty() && refusal.digest == refusal.pinnedDigest)
        return true;
    refusal.fingerprint = fingerprint(refusal.digest);
    refusal.pinnedFingerprint = fingerprint(refusal.pinnedDigest);
    QStringList reasons;
    for (const QSslError &error : errors)
        reasons << error.errorString();
    QString pinned;
    if (refusal.changed())
        pinned = QStringLiteral(" (pinned %1)").arg(refusal.pinnedFingerprint);
    qCWarning(lcNetwork).noquote()
        << "refused the certificate of" << refusal.origin
        << refusal.fingerprint + pinned + QLatin1Char(':') << reasons.join(QStringLiteral("; "));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_last = refusal;
    }
    Q_EMIT refused(refusal.origin, refusal.fingerprint, refusal.pinnedFingerprint);
    return false;
}

ServerTrust::Refusal ServerTrust::lastRefusal() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last;
}
