#pragma once

#include <QString>

namespace JsonText {

// Appends `text` as a JSON string literal exactly as QJsonDocument writes it (quotes,
// backslashes, control characters and unpaired surrogates escaped), for the hand-written
// documents that must read like the writer's output.
void appendString(QString &out, const QString &text);

} // namespace JsonText
