#pragma once

#include <QString>

// The signed-in user's access token, which every authorised request carries. Sign-in writes it
// (the QR-code loader from its own thread) while requests and the documents read it, hence the
// lock. A token is also a secret the log never shows.
namespace SessionToken {

void set(const QString &token);
QString get();

} // namespace SessionToken
