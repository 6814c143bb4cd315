#include "../sio/tsansuppressions.h"
#include "concurrency/lockedvalue.h"

#include <QSet>
#include <QString>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// The login parameters, the online set, the organisation and the settings store are read on the
// GUI thread while network threads write them. These cases run the same mix on plain threads;
// the ThreadSanitizer pass runs them too, so a lock that does not cover a path shows as a race.
class TestLockedValue : public QObject
{
    Q_OBJECT
private slots:
    void concurrentUpdatesAreNotLost();
    void readersNeverSeeAHalfWrittenValue();
    void resultsAreCopiesAndMoveOnlyValuesWork();
};

namespace {

constexpr int threadCount = 4;
constexpr int roundsPerThread = 2000;

// Two fields a writer always changes together, like a server address and its digest.
struct Pair
{
    QString address;
    QString digest;
};

QString digestOf(int round)
{
    return QStringLiteral("d") + QString::number(round);
}

template <typename Fn> void runThreads(int count, Fn body)
{
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (int i = 0; i < count; ++i)
        threads.emplace_back(body, i);
    for (std::thread &thread : threads)
        thread.join();
}

} // namespace

void TestLockedValue::concurrentUpdatesAreNotLost()
{
    // A read-modify-write through get() then set() would lose increments; update() must not.
    LockedValue<int> counter;
    LockedValue<QSet<QString>> online;
    runThreads(threadCount, [&](int thread) {
        for (int round = 0; round < roundsPerThread; ++round) {
            counter.update([](int &value) { ++value; });
            const QString id = QString::number(thread * roundsPerThread + round);
            online.update([&](QSet<QString> &set) { set.insert(id); });
            // Readers interleave with the writers, as the documents do with the network thread.
            if (online.read([&](const QSet<QString> &set) { return !set.contains(id); }))
                counter.update([](int &value) { value -= 1000000; });
        }
    });
    QCOMPARE(counter.get(), threadCount * roundsPerThread);
    QCOMPARE(online.get().size(), threadCount * roundsPerThread);
}

void TestLockedValue::readersNeverSeeAHalfWrittenValue()
{
    LockedValue<Pair> server(Pair{QStringLiteral("0"), digestOf(0)});
    std::atomic<int> torn{0};
    std::atomic<int> writersLeft{2};
    runThreads(threadCount, [&](int thread) {
        if (thread < 2) {
            // One writer replaces the whole value, the other changes it in place.
            for (int round = 1; round <= roundsPerThread; ++round) {
                if (thread == 0) {
                    server.set(Pair{QString::number(round), digestOf(round)});
                } else {
                    server.update([&](Pair &pair) {
                        pair.address = QString::number(-round);
                        pair.digest = digestOf(-round);
                    });
                }
            }
            --writersLeft;
            return;
        }
        // Readers keep reading until both writers are done, so reads overlap the writes.
        do {
            const Pair copy = server.get();
            if (digestOf(copy.address.toInt()) != copy.digest)
                ++torn;
            const bool matches = server.read(
                [](const Pair &pair) { return digestOf(pair.address.toInt()) == pair.digest; });
            if (!matches)
                ++torn;
        } while (writersLeft.load() > 0);
    });
    QCOMPARE(torn.load(), 0);
}

void TestLockedValue::resultsAreCopiesAndMoveOnlyValuesWork()
{
    LockedValue<QStringList> names(QStringList{QStringLiteral("a")});
    // A result taken out keeps its contents when the value changes afterwards.
    const QStringList before = names.read([](const QStringList &list) { return list; });
    names.update([](QStringList &list) { list.append(QStringLiteral("b")); });
    QCOMPARE(before, QStringList{QStringLiteral("a")});
    QCOMPARE(names.get(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));

    // A value that cannot be copied is reached through update() and read() only.
    LockedValue<std::unique_ptr<int>> owned;
    int *const created = owned.update([](std::unique_ptr<int> &value) {
        if (!value)
            value = std::make_unique<int>(7);
        return value.get();
    });
    const int *const again = owned.update([](std::unique_ptr<int> &value) {
        if (!value)
            value = std::make_unique<int>(8);
        return value.get();
    });
    QCOMPARE(again, created);
    QCOMPARE(owned.read([](const std::unique_ptr<int> &value) { return *value; }), 7);
}

QTEST_GUILESS_MAIN(TestLockedValue)
#include "tst_lockedvalue.moc"
