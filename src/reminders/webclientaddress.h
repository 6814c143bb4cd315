#pragma once

#include <QString>

// Addresses of pages of the server's web client (reminders, mentions, data records, menu
// entries) and where they open: in the system's default browser when the user chose it,
// otherwise in the client's own browser window, which the documents open.
class WebClientAddress
{
public:
    // The web client path used when the login reply named none.
    static QString defaultClientPath();
    // server + client path + "token=" + token + `between` + "&platform=client"
    static QString build(const QString &between);

    // Logs the address and opens it in the default browser when the user chose that. Returns
    // false otherwise, with the text the caller hands to the documents with jumpBrowser.
    static bool open(const QString &address, QString *jumpText);
};
