#include "fastjson.h"

#include <rapidjson/document.h>

namespace FastJson {

bool isKey(const Value &name, const char *key, std::size_t length)
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
