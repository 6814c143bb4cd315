#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Lets the documents encrypt short texts for storage (AES-256-CBC under a fixed key, zero
// padded, Base64-wrapped; wrapped twice while the server has sent a web-client address).
class AesIteminfor : public QObject
{
    Q_OBJECT
public:
    explicit AesIteminfor(QObject *parent = nullptr);

    Q_INVOKABLE QString cryptData(const QString &crypts);
    Q_INVOKABLE QString decryptData(const QString &decrypts);

private:
    QByteArray m_key;
    QByteArray m_iv;
};
