#pragma once

#include <QString>

// The service's conversation kinds, as the `types` field of its events and records carries them.
namespace ConversationTypes {
inline const QString privateType = QStringLiteral("2");
inline const QString groupType = QStringLiteral("3");
} // namespace ConversationTypes
