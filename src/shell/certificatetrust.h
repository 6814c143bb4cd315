#pragma once

#include <QObject>
#include <QString>

// The documents' side of server trust: a refused certificate becomes one question to the user,
// with the server and the fingerprints, and the answer pins it (or leaves it refused). A
// certificate the user declined is not asked about again until reconsider(), so background
// requests do not bring the same question back over and over.
class CertificateTrust : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool asking READ asking NOTIFY questionChanged)
    Q_PROPERTY(QString server READ server NOTIFY questionChanged)
    Q_PROPERTY(QString fingerprint READ fingerprint NOTIFY questionChanged)
    // The certificate trusted before; empty unless the server's certificate changed.
    Q_PROPERTY(QString previousFingerprint READ previousFingerprint NOTIFY questionChanged)
    Q_PROPERTY(bool changed READ changed NOTIFY questionChanged)
public:
    explicit CertificateTrust(QObject *parent = nullptr);

    bool asking() const { return m_asking; }
    QString server() const { return m_server; }
    QString fingerprint() const { return m_fingerprint; }
    QString previousFingerprint() const { return m_previous; }
    bool changed() const { return !m_previous.isEmpty(); }

    // Pins the certificate asked about; `trusted` follows so the document can retry.
    Q_INVOKABLE void trust();
    Q_INVOKABLE void cancel();
    // The user starts something new (a sign-in, a server check): ask again about anything.
    Q_INVOKABLE void reconsider();
    // Asks as if the server had shown this certificate (previews and document tests).
    Q_INVOKABLE void ask(const QString &server, const QString &fingerprint,
                         const QString &previousFingerprint = QString());

Q_SIGNALS:
    void questionChanged();
    // A question is up: the document shows its prompt.
    void asked();
    void trusted();

private:
    void onRefused(const QString &origin, const QString &fingerprint, const QString &pinned);
    void settle();

    bool m_asking = false;
    QString m_server;
    QString m_fingerprint;
    QString m_previous;
};
