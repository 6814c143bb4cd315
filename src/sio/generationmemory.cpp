#include "generationmemory.h"

#include <QHash>

#include <mutex>

namespace sio {

namespace {

struct Store
{
    std::mutex mutex;
    QHash<QString, int> versions;
};

Store &store()
{
    static Store instance;
    return instance;
}

} // namespace

int GenerationMemory::lookup(const QString &serverKey)
{
    std::lock_guard<std::mutex> lock(store().mutex);
    return store().versions.value(serverKey, 0);
}

void GenerationMemory::remember(const QString &serverKey, int engineVersion)
{
    std::lock_guard<std::mutex> lock(store().mutex);
    store().versions.insert(serverKey, engineVersion);
}

void GenerationMemory::forget(const QString &serverKey)
{
    std::lock_guard<std::mutex> lock(store().mutex);
    store().versions.remove(serverKey);
}

} // namespace sio
