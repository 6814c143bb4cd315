#include "certificatetrust.h"

#include "logging.h"
#include "net/servertrust.h"

#include <QSet>

namespace {

// Shared by every prompt of the process: declining in one window declines for all.
QSet<QString> &declined()
{
    static QSet<QString> set;
    return set;
}

QString questionKey(const QString &origin, const QString &fingerprint)
{
    return origin + QLatin1Char(' ') + fingerprint;
}

} // namespace

CertificateTrust::CertificateTrust(QObject *parent) : QObject(parent)
{
    // Queued: the refusal comes from the thread that met the certificate, mid-handshake.
    connect(ServerTrust::instance(), &ServerTrust::refused, this, &CertificateTrust::onRefused,
            Qt::QueuedConnection);
    connect(ServerTrust::instance(), &ServerTrust::trusted, this, [this](const QString &origin) {
        if (m_asking && origin == m_server &&
            ServerTrust::fingerprint(ServerTrust::instance()->pinnedDigest(origin)) ==
                m_fingerprint)
            settle();
    });
}

void CertificateTrust::onRefused(const QString &origin, const QString &fingerprint,
                                 const QString &pinned)
{
    if (declined().contains(questionKey(origin, fingerprint)))
        return;
    // A pin made meanwhile (in another window) answers it already.
    if (ServerTrust::fingerprint(ServerTrust::instance()->pinnedDigest(origin)) == fingerprint)
        return;
    ask(origin, fingerprint, pinned);
}

void CertificateTrust::ask(const QString &server, const QString &fingerprint,
                           const QString &previousFingerprint)
{
    if (m_asking && m_server == server && m_fingerprint == fingerprint)
        return;
    m_asking = true;
    m_server = server;
    m_fingerprint = fingerprint;
    m_previous = previousFingerprint;
    qCInfo(lcNetwork).noquote() << "certificate prompt shown for" << server << fingerprint;
    Q_EMIT questionChanged();
    Q_EMIT asked();
}

void CertificateTrust::trust()
{
    if (!m_asking)
        return;
    // fromHex skips the colons of the display form.
    ServerTrust::instance()->trust(m_server, QByteArray::fromHex(m_fingerprint.toLatin1()));
    qCInfo(lcNetwork).noquote() << "certificate trusted for" << m_server << m_fingerprint;
    settle();
    Q_EMIT trusted();
}

void CertificateTrust::cancel()
{
    if (!m_asking)
        return;
    declined().insert(questionKey(m_server, m_fingerprint));
    settle();
}

void CertificateTrust::reconsider()
{
    declined().clear();
}

void CertificateTrust::settle()
{
    m_asking = false;
    Q_EMIT questionChanged();
}
