#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#ifdef TARNEX_HAVE_WEBENGINE
#include <QWebEngineUrlRequestInterceptor>
#endif

// Keeps the sign-in token inside the signed-in server: the built-in browser's profiles send no
// request to another origin whose address carries it (a page of the web client that links or
// redirects elsewhere with the token in the address). Such a request is blocked and logged once
// per host. The decision is `carriesTokenAway`; `watch` puts it on a profile of the documents.
class BrowserGuard : public QObject
{
    Q_OBJECT
public:
    explicit BrowserGuard(QObject *parent = nullptr) : QObject(parent) {}

    // Whether a request to `url` would hand `token` to an origin other than `ownServer`'s.
    static bool carriesTokenAway(const QUrl &url, const QString &token, const QUrl &ownServer);

    // Guards the requests of a WebEngineProfile for as long as it lives.
    Q_INVOKABLE void watch(QObject *profile);
    // Why a page at `url` was not loaded, in the interface language, when it is the guard's
    // doing; "" otherwise.
    Q_INVOKABLE QString refusalFor(const QUrl &url) const;
};

#ifdef TARNEX_HAVE_WEBENGINE
class BrowserTokenInterceptor : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    QSet<QString> m_loggedHosts;
};
#endif
