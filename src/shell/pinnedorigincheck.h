#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// Whether a page whose certificate the built-in browser could not verify belongs to a server
// the user pinned. The browser does not hand over the certificate, so it is read here with a
// handshake of its own (nothing is sent after it) and its digest compared with the pin of the
// page's origin. The answer comes within ten seconds.
class PinnedOriginCheck : public QObject
{
    Q_OBJECT
public:
    explicit PinnedOriginCheck(QObject *parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE void check(const QUrl &url);

    // Why a page was not shown, in the interface language.
    static QString refusalText();

signals:
    void answered(const QUrl &url, bool pinned, const QString &reason);
};
