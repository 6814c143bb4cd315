#pragma once

#include <QString>

// How the sign-in views write and read a server address: the server list keys an address
// without "http://" and trailing slashes; avatars of the server are paths below it.
namespace ServerAddress {

// Trimmed, without a leading "http://" and without trailing slashes ("https://" stays).
QString plain(const QString &address);
// False for nothing typed, and for a bare scheme.
bool isSet(const QString &address);
// Where an avatar path of `server` loads from; full URLs are kept, nothing gives the
// built-in picture.
QString avatarUrl(const QString &path, const QString &server);

} // namespace ServerAddress
