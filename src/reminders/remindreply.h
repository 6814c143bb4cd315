#pragma once

#include "net/replyenvelope.h"

#include <QString>

class QNetworkRequest;

// What the reminder requests share: the limit for a reply that never comes, and the text the
// user sees when a reply is not a success.
namespace tarnex::reminders {

// A request whose server stays silent this long ends as a transport failure, so a busy flag
// never sticks. Tests shorten it.
int replyLimitMs();
void setReplyLimitMs(int limitMs);
void applyReplyLimit(QNetworkRequest &request);

// The server's own message when it sent one; otherwise the connection text for a transport
// failure, or `builtIn` (looked up by `key`) for an answer that is no success.
QString failureText(const ReplyEnvelope &envelope, const QString &key, const QString &builtIn);

} // namespace tarnex::reminders
