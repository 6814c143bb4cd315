#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

#include <mutex>

class QNetworkAccessManager;
class QSslCertificate;
class QUrl;

// Which https servers the client talks to: those the system's certificate store vouches for,
// and those whose certificate the user accepted, pinned per origin by its SHA-256 digest in the
// settings. Anything else is refused before a byte of the request goes out, and reported
// through `refused` so the user can look at the fingerprint and decide. Every method may be
// called from any thread; the signal comes from the thread that met the certificate.
class ServerTrust : public QObject
{
    Q_OBJECT
public:
    struct Refusal
    {
        QString origin;
        QByteArray digest;         // of the certificate the server showed
        QByteArray pinnedDigest;   // of the one trusted before; empty when none was
        QString fingerprint;       // digest for display
        QString pinnedFingerprint; // pinnedDigest for display
        bool changed() const { return !pinnedDigest.isEmpty(); }
        bool isNull() const { return origin.isEmpty(); }
    };

    // Created on first use on the thread that asks first; never destroyed.
    static ServerTrust *instance();

    // "https://host:port" (wss counts as https, the default port filled in); empty for a URL
    // without TLS.
    static QString origin(const QUrl &url);
    static QByteArray digestOf(const QSslCertificate &certificate);
    // "AB:12:..." as certificate viewers show it.
    static QString fingerprint(const QByteArray &digest);

    // TLS settings for every request to a server: the peer verified against the system store.
    static QSslConfiguration configuration();

    // Replies of `manager` whose certificate fails verification pass when it is the pinned one.
    static void watch(QNetworkAccessManager *manager);

    // For a TLS handshake to `url` that failed verification with `errors`: true when `leaf` is
    // the certificate pinned for the origin, so the caller ignores exactly these errors.
    // Otherwise the refusal is recorded and reported, and false returned.
    bool accept(const QUrl &url, const QSslCertificate &leaf, const QList<QSslError> &errors);

    // The pinned digest of an origin (empty when none).
    QByteArray pinnedDigest(const QString &origin) const;
    // Pins `digest` for `origin`, replacing an older pin.
    void trust(const QString &origin, const QByteArray &digest);

    // The last refusal reported (null when none, or once its certificate was trusted).
    Refusal lastRefusal() const;

Q_SIGNALS:
    void refused(const QString &origin, const QString &fingerprint,
                 const QString &pinnedFingerprint);
    // A certificate was pinned for `origin`: what was refused there may try again.
    void trusted(const QString &origin);

private:
    ServerTrust() = default;

    mutable std::mutex m_mutex;
    Refusal m_last;
};
