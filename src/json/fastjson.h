#pragma once

#include <rapidjson/fwd.h>

// The fast parser reading Qt's own UTF-16 text: neither the socket text nor the strings taken
// from it change encoding on the way, which was half the cost of the busy events.
namespace FastJson {

using Encoding = rapidjson::UTF16<char16_t>;
using Pool = rapidjson::MemoryPoolAllocator<rapidjson::CrtAllocator>;
using Value = rapidjson::GenericValue<Encoding, Pool>;
// The parse stack in a pool too, so a caller can hand both pools a buffer of its own.
using Document = rapidjson::GenericDocument<Encoding, Pool, Pool>;

} // namespace FastJson
