#pragma once

#include <QJsonValue>
#include <QString>

#include "fastjson.h"

// The one way a member of a server reply, a socket payload or a stored document is read. Replies
// come from the network, so every reader accepts any JSON value and never fails:
//
//   value                          text()            id()              integer()
//   string                         controls removed  as it is          fallback
//   exact integer in 64 bits       decimal digits    decimal digits    the number
//   fraction, beyond 64 bits       ""                ""                fallback
//   null, bool, array, object      ""                ""                fallback
//   missing member                 ""                ""                fallback
//
// Decimal digits carry no exponent, fraction or padding: 1e16 reads as "10000000000000000" and
// 7.0 as "7". Integers the parser kept exactly (beyond 2^53 too) read exactly.
namespace JsonField {

// A text shown to the user or used as a name (message texts, user and file names). Control
// characters other than tab and line feed are removed: they have no place in a row of the
// window or a file name, and could disguise either.
QString text(const QJsonValue &value);

// An opaque key (user, group, department or message id). Kept exactly as sent, so an id read
// from the server matches the same id stored earlier; where one goes into a URL or a path it
// is encoded or reduced there.
QString id(const QJsonValue &value);

// An integer member. Texts do not count as numbers, so "7" reads as the fallback.
qint64 integer(const QJsonValue &value, qint64 fallback = 0);
// The decimal text of integer(value), "0" when unreadable: for integer members the documents
// and stored records always hold as text.
QString integerText(const QJsonValue &value);
// The same as integer(), for a member that must fit an int; anything outside that range reads as
// fallback.
int smallInteger(const QJsonValue &value, int fallback = 0);

// The same readers on a value of the fast parser, without building Qt's value first: they give
// what the readers above give for PeerJson::fromRapid(value), which carries a number as its
// double.
QString text(const FastJson::Value &value);
QString id(const FastJson::Value &value);
qint64 integer(const FastJson::Value &value, qint64 fallback = 0);

// `text` without control characters other than tab and line feed.
QString withoutControls(const QString &text);

} // namespace JsonField
