#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// Keeps the sign-in token inside the signed-in server: the built-in browser opens no page of
// another origin whose address carries it (a page of the web client that links or redirects
// elsewhere with the token in the address). The windows ask `refusalFor` before a navigation.
// A request interceptor would also cover what a page loads, but it links the web engine's
// libraries into the client at start, which must wait until a page opens.
class BrowserGuard : public QObject
{
    Q_OBJECT
public:
    explicit BrowserGuard(QObject *parent = nullptr) : QObject(parent) {}

    // Whether a request to `url` would hand `token` to an origin other than `ownServer`'s.
    static bool carriesTokenAway(const QUrl &url, const QString &token, const QUrl &ownServer);

    // Why a page at `url` was not loaded, in the interface language, when it is the guard's
    // doing; "" otherwise.
    Q_INVOKABLE QString refusalFor(const QUrl &url) const;
};
