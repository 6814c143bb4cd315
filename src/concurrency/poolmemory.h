#pragma once

#include <QtConcurrent>

#ifdef __GLIBC__
#include <malloc.h>
#endif

// Replies parsed on the thread pool free their buffers into the pool threads' own malloc arenas,
// which keep those pages mapped (about 10 MB after a large organisation). Call once such a load
// is in: the pages are given back, on the pool.
inline void releasePoolMemory()
{
#ifdef __GLIBC__
    QtConcurrent::run([] { malloc_trim(0); });
#endif
}
