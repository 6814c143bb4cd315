#pragma once

#include "messagerecord.h"

#include "json/fastjson.h"

#include <rapidjson/document.h>

// The record fields of the busy events ("private message", "group message") read straight from
// the fast parser's values, with the same rules as MessageJson's readers of Qt's values: the
// same payload gives the same record either way. A repeated key keeps its last value.
namespace InboundJson {

MessageRecord privateRecord(const FastJson::Value &object, qulonglong *id = nullptr);
GroupMessageRecord groupRecord(const FastJson::Value &object, qulonglong *id = nullptr);

} // namespace InboundJson
