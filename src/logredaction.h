#pragma once

#include <QString>

// Log lines never carry secrets: tokens (in URLs, headers, JSON and form bodies), passwords and
// whatever was registered as secret (the current token) are replaced by "***" before a line is
// written anywhere.
namespace LogRedaction {

QString redact(const QString &line);

// `secret` is replaced wherever it appears from now on (ignored when shorter than 6 characters,
// which would blank ordinary words).
void addSecret(const QString &secret);

} // namespace LogRedaction
