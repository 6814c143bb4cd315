#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVector>

// Whether a page whose certificate the built-in browser could not verify belongs to a server
// the user pinned. The browser does not hand over the certificate, so it is read here with a
// handshake of its own (nothing is sent after it) and its digest compared with the pin of the
// page's origin. The answer comes within ten seconds.
class PinnedOriginCheck : public QObject
{
    Q_OBJECT
public:
    explicit PinnedOriginCheck(QObject *parent = nullptr);

    Q_INVOKABLE void check(const QUrl &url);
    // Holds a page's certificate error (the engine's object, read through its url and its
    // defer(), ignoreCertificate() and rejectCertificate()) until its page is checked: taken
    // for the pinned server, refused otherwise, and refused() says why.
    Q_INVOKABLE void hold(QObject *error);

    // Why a page was not shown, in the interface language.
    static QString refusalText();

signals:
    void answered(const QUrl &url, bool pinned, const QString &reason);
    void refused(const QString &reason);

private:
    void settle(const QUrl &url, bool pinned, const QString &reason);

    QVector<QPointer<QObject>> m_held;
};
