#pragma once

#include "fastjson.h"

#include <rapidjson/document.h>

#include <cstddef>

namespace FastJson {

// Whether a member name is the ASCII key of `length` characters, compared in place. Inline: a
// record's fields are matched against a dozen keys each, and the length alone settles most.
inline bool isKey(const Value &name, const char *key, std::size_t length)
{
    if (name.GetStringLength() != length)
        return false;
    const char16_t *chars = name.GetString();
    for (std::size_t i = 0; i < length; ++i) {
        if (chars[i] != char16_t(key[i]))
            return false;
    }
    return true;
}

} // namespace FastJson
