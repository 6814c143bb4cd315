#pragma once

#include <QString>

// Addresses of pages of the server's web client (reminders, mentions, data records, menu
// entries) and where they open: in the system's default browser when the user chose it,
// otherwise in the client's own browser window. The documents open both.
class WebClientAddress
{
public:
    // The web client path used when the login reply named none.
    static QString defaultClientPath();
    // server + client path + "token=" + token + `between` + "&platform=client"
    static QString build(const QString &between);

    // Logs the address and gives the text the documents open. Returns true when the user chose
    // the system's browser: the documents then hand it to the link opener, which every page
    // leaving the client goes through; false for the built-in browser.
    static bool open(const QString &address, QString *jumpText);
};
