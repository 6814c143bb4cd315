#pragma once

#include <QtGlobal>

// One quick pass over JSON text from a peer, before it reaches Qt's parser. Qt's parser keeps on
// the heap what a repeated key held before (a peer could grow our memory with every frame), and
// it takes raw control characters that make it compare keys as C strings. The pass does not
// validate: the parser that runs next does.
namespace JsonScan {

enum class Verdict {
    Plain,      // no key repeats, no raw control character: Qt's parser may read it
    Repeats,    // a key repeats within one object
    Unsure,     // a key with escapes, or a shape the pass does not follow
    RawControl, // a control character outside the whitespace JSON allows
    TooDeep,    // arrays and objects nested deeper than JsonDepth::limit
};

Verdict scan(const char *data, qsizetype size);

} // namespace JsonScan
