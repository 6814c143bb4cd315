#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// Every link the user clicks in a message, a reminder or a card goes through here. http and
// https open in the system's browser, the own server's at once and any other host's only after
// the user has seen the whole address and agreed; mailto: opens the mail program; no other
// scheme ever opens (a file, a share, a script or a registered handler would run with the
// user's rights), and the user is told why.
class LinkOpener : public QObject
{
    Q_OBJECT
public:
    enum Verdict { Open, Ask, Refuse };
    Q_ENUM(Verdict)

    explicit LinkOpener(QObject *parent = nullptr) : QObject(parent) {}

    // What a click on `url` does, the own server being `ownServer`.
    static Verdict verdict(const QUrl &url, const QUrl &ownServer);
    // Why a link is not opened, in the interface language.
    static QString refusalText(const QUrl &url);

    // A click on `link`: opens it, asks through confirmationNeeded, or refuses.
    Q_INVOKABLE void open(const QString &link);
    // The user agreed to the address confirmationNeeded showed.
    Q_INVOKABLE void confirm(const QString &link);
    // A folder of this machine the user chose in the settings, in the file manager: only an
    // existing folder, never a file or a program. False when there is none to open.
    Q_INVOKABLE bool openFolder(const QString &path);

signals:
    void confirmationNeeded(const QString &link);
    void refused(const QString &link, const QString &reason);
    void opened(const QString &link);

private:
    void hand(const QUrl &url);
};
