#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>

#include "fastjson.h"
#include "jsondepth.h"

#include <rapidjson/document.h>

// JSON text from a server or a socket peer, read into Qt's values without the two traps of Qt's
// parser (see JsonScan): raw control characters are refused, and a repeated key keeps its last
// value, as JavaScript's JSON.parse does, at no cost in leaked memory.
namespace PeerJson {

// Any JSON value, scalars at the top level included, and how the reading went: text nested
// deeper than JsonDepth::limit is refused before any recursive step.
JsonDepth::Outcome read(const QByteArray &utf8, QJsonValue *value);

// The same; false for anything that is not exactly one value. A refusal for depth is logged.
bool parse(const QByteArray &utf8, QJsonValue *value);

// For replies read leniently: raw control characters inside strings are taken as their escapes,
// so one bad name does not cost the whole reply; the readers drop them from the texts.
bool parseEscapingControls(const QByteArray &utf8, QJsonValue *value);

// A reply that must be one object, read leniently as above; false (and an empty object)
// otherwise.
bool parseObject(const QByteArray &utf8, QJsonObject *object);

// A value of the fast parser as Qt's; a repeated key keeps its last value.
QJsonValue fromRapid(const rapidjson::Value &value);
QJsonValue fromRapid(const FastJson::Value &value);

} // namespace PeerJson
