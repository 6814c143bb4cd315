#pragma once

// Certificates made by the openssl command line for one test, in a temporary folder that goes
// with the object: a self-signed one, and a test authority with a certificate it signed. Every
// certificate names 127.0.0.1 and localhost.
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TestCertificates
{
public:
    struct Pair
    {
        QString certificate;
        QString key;
    };

    bool isValid() const { return m_dir.isValid(); }

    // A fresh self-signed certificate named `name` (a new key each time).
    bool makeSelfSigned(const QString &name, Pair *pair)
    {
        *pair = pathsOf(name);
        return run({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-nodes"),
                    QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                    QStringLiteral("-addext"), subjectAltName(), QStringLiteral("-keyout"),
                    pair->key, QStringLiteral("-out"), pair->certificate});
    }

    // A test authority, and a certificate named `name` it signed.
    bool makeAuthoritySigned(const QString &name, Pair *authority, Pair *pair)
    {
        *authority = pathsOf(name + QStringLiteral("-ca"));
        *pair = pathsOf(name);
        const QString request = m_dir.filePath(name + QStringLiteral(".csr"));
        const QString extensions = m_dir.filePath(name + QStringLiteral(".ext"));
        QFile file(extensions);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(subjectAltName().toUtf8() + "\nbasicConstraints=CA:FALSE\n");
        file.close();
        return run({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-nodes"),
                    QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=Tarnex Test Authority"), QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                    QStringLiteral("keyUsage=critical,keyCertSign,cRLSign"),
                    QStringLiteral("-keyout"), authority->key, QStringLiteral("-out"),
                    authority->certificate}) &&
               run({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-nodes"),
                    QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-keyout"), pair->key,
                    QStringLiteral("-out"), request}) &&
               run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request,
                    QStringLiteral("-CA"), authority->certificate, QStringLiteral("-CAkey"),
                    authority->key, QStringLiteral("-CAcreateserial"), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-extfile"), extensions,
                    QStringLiteral("-out"), pair->certificate});
    }

    static QSslCertificate load(const QString &path)
    {
        const QList<QSslCertificate> all = QSslCertificate::fromPath(path);
        return all.isEmpty() ? QSslCertificate() : all.first();
    }

    QString output() const { return m_output; }

private:
    static QString subjectAltName()
    {
        return QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost");
    }

    Pair pathsOf(const QString &name) const
    {
        return {m_dir.filePath(name + QStringLiteral(".pem")),
                m_dir.filePath(name + QStringLiteral(".key"))};
    }

    bool run(const QStringList &arguments)
    {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"), arguments);
        const bool done = openssl.waitForFinished(30000);
        m_output += QString::fromLocal8Bit(openssl.readAll());
        return done && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    QString m_output;
};
