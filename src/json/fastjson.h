#pragma once

#include <rapidjson/fwd.h>

#include <cstddef>

// The fast parser reading Qt's own UTF-16 text: neither the socket text nor the strings taken
// from it change encoding on the way, which was half the cost of the busy events.
namespace FastJson {

using Encoding = rapidjson::UTF16<char16_t>;
using Pool = rapidjson::MemoryPoolAllocator<rapidjson::CrtAllocator>;
using Value = rapidjson::GenericValue<Encoding, Pool>;
// The parse stack in a pool too, so a caller can hand both pools a buffer of its own.
using Document = rapidjson::GenericDocument<Encoding, Pool, Pool>;

// Whether a member name is the ASCII key of `length` characters, compared in place.
bool isKey(const Value &name, const char *key, std::size_t length);

} // namespace FastJson
