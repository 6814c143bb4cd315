#include "jsonscan.h"

#include "jsondepth.h"

#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace JsonScan {

namespace {

// Small objects compare their keys pairwise; from this many keys on, a set keeps a huge object
// from costing quadratic time.
constexpr int setFrom = 16;

struct OpenObject
{
    int firstKey = 0;
    // One bit per key's shape (length and end characters): a key whose bit is clear is new
    // without comparing it to any other, which is almost every key.
    quint64 shapes = 0;
    std::unique_ptr<std::unordered_set<std::string_view>> set;
};

quint64 shapeBit(std::string_view key)
{
    const size_t size = key.size();
    const unsigned ends = size ? unsigned(static_cast<unsigned char>(key.front())) * 7u +
                                     unsigned(static_cast<unsigned char>(key.back()))
                               : 0u;
    return quint64(1) << ((unsigned(size) * 31u + ends) & 63u);
}

struct Scope
{
    bool object = false;
    OpenObject keys;
};

bool isWhitespaceControl(unsigned char c)
{
    return c == '\t' || c == '\n' || c == '\r';
}

// True when `key` is already among the open object's keys; records it either way.
bool repeats(OpenObject &open, std::vector<std::string_view> &keys, std::string_view key)
{
    const int count = int(keys.size()) - open.firstKey;
    if (open.set)
        return !open.set->insert(key).second;
    const quint64 bit = shapeBit(key);
    if (open.shapes & bit) {
        for (int i = open.firstKey; i < int(keys.size()); ++i) {
            if (keys[size_t(i)] == key)
                return true;
        }
    }
    open.shapes |= bit;
    keys.push_back(key);
    if (count + 1 >= setFrom) {
        open.set = std::make_unique<std::unordered_set<std::string_view>>(
            keys.begin() + open.firstKey, keys.end());
        keys.resize(size_t(open.firstKey));
    }
    return false;
}

} // namespace

Verdict scan(const char *data, qsizetype size)
{
    std::vector<Scope> scopes;
    std::vector<std::string_view> keys;
    // Room for the usual frame: two allocations and no regrowth.
    scopes.reserve(8);
    keys.reserve(48);
    bool expectKey = false;
    const char *p = data;
    const char *const end = data + size;
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"') {
            const char *const start = ++p;
            bool escaped = false;
            for (;;) {
                if (p >= end)
                    return Verdict::Unsure;
                const unsigned char s = static_cast<unsigned char>(*p);
                if (s == '"')
                    break;
                // Qt's parser takes raw whitespace inside strings as it stands; the rest is no
                // JSON, and a raw NUL makes it compare keys as C strings.
                if (s < 0x20 && !isWhitespaceControl(s))
                    return Verdict::RawControl;
                if (s == '\\') {
                    escaped = true;
                    p += 2;
                    continue;
                }
                ++p;
            }
            const std::string_view text(start, size_t(p - start));
            ++p;
            if (expectKey) {
                // Two spellings of one key ("a" and "\u0061") only compare after unescaping.
                if (escaped)
                    return Verdict::Unsure;
                if (repeats(scopes.back().keys, keys, text))
                    return Verdict::Repeats;
                expectKey = false;
            }
            continue;
        }
        switch (c) {
        case '{': {
            if (scopes.size() >= size_t(JsonDepth::limit))
                return Verdict::TooDeep;
            Scope scope;
            scope.object = true;
            scope.keys.firstKey = int(keys.size());
            scopes.push_back(std::move(scope));
            expectKey = true;
            break;
        }
        case '[':
            if (scopes.size() >= size_t(JsonDepth::limit))
                return Verdict::TooDeep;
            scopes.emplace_back();
            expectKey = false;
            break;
        case '}':
        case ']':
            if (scopes.empty() || scopes.back().object != (c == '}'))
                return Verdict::Unsure;
            if (scopes.back().object && !scopes.back().keys.set)
                keys.resize(size_t(scopes.back().keys.firstKey));
            scopes.pop_back();
            expectKey = false;
            break;
        case ',':
            expectKey = !scopes.empty() && scopes.back().object;
            break;
        default:
            if (c < 0x20 && !isWhitespaceControl(c))
                return Verdict::RawControl;
            break;
        }
        ++p;
    }
    return Verdict::Plain;
}

} // namespace JsonScan
