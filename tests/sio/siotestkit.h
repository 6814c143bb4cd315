#pragma once

// Shared pieces of the socket.io client tests: the Node peer, a thread-safe record of what the
// client reported, and small waits built on QTRY.

#include "nodepeer.h"
#include "sio/client.h"
#include "tsansuppressions.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QStringList>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>
#include <mutex>

namespace siotest {

// Which official server, and which Engine.IO version the client speaks to it.
enum class Generation { V4, V4WithEio3, V2 };

inline QString generationName(Generation generation)
{
    switch (generation) {
    case Generation::V4:
        return QStringLiteral("socket.io 4 / EIO 4");
    case Generation::V4WithEio3:
        return QStringLiteral("socket.io 4 / EIO 3");
    case Generation::V2:
        return QStringLiteral("socket.io 2.5.1");
    }
    return QString();
}

inline QString peerScript()
{
    return QStringLiteral(TARNEX_SOURCE_DIR "/tests/sio/peer.js");
}

// The peer's own heartbeat (300 ms + 200 ms) is for the tests about heartbeats, which ask for it
// with these arguments. Every other test runs with a relaxed one, so a busy machine (or a thread
// checker) stalling the client for a moment cannot drop a connection the test relies on.
inline QStringList shortHeartbeat()
{
    return {QStringLiteral("--ping-interval"), QStringLiteral("300"),
            QStringLiteral("--ping-timeout"), QStringLiteral("200")};
}

inline bool startPeer(NodePeer &peer, Generation generation, QStringList args = {}, int port = 0)
{
    if (!args.contains(QStringLiteral("--ping-interval")))
        args << QStringLiteral("--ping-interval") << QStringLiteral("2000")
             << QStringLiteral("--ping-timeout") << QStringLiteral("5000");
    if (generation == Generation::V2)
        args << QStringLiteral("--v2");
    return peer.start(peerScript(), args, port);
}

// A client set up for the generation: the EIO 3 row insists on version 3, the others detect.
inline void configure(sio::Client &client, Generation generation)
{
    client.setEngineVersion(generation == Generation::V4WithEio3
                                ? sio::Client::EngineVersion::V3
                                : sio::Client::EngineVersion::Detect);
}

// Everything the client reported, in order, as "open", "fail:<reason>", "reconnecting:<reason>",
// "socket-open:<nsp>", "socket-close:<nsp>:<reason>"; plus the threads it reported on.
class Recorder
{
public:
    // Declared before the client it watches, so it outlives the client's I/O thread.
    void attach(sio::Client &client)
    {
        client.setOpenListener([this]() { add(QStringLiteral("open")); });
        client.setFailListener([this](const QString &r) { add(QStringLiteral("fail:") + r); });
        client.setReconnectingListener(
            [this](const QString &r) { add(QStringLiteral("reconnecting:") + r); });
        client.setSocketOpenListener(
            [this](const QString &nsp) { add(QStringLiteral("socket-open:") + nsp); });
        client.setSocketCloseListener([this](const QString &nsp, const QString &r) {
            add(QStringLiteral("socket-close:") + nsp + QLatin1Char(':') + r);
        });
    }

    void add(const QString &entry)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries << entry;
        m_threads.insert(QThread::currentThread());
    }
    QStringList entries() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_entries;
    }
    int count(const QString &prefix) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        int n = 0;
        for (const QString &entry : m_entries)
            n += entry.startsWith(prefix) ? 1 : 0;
        return n;
    }
    QSet<QThread *> threads() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_entries;
    QSet<QThread *> m_threads;
};

// Collects acknowledgement answers from the I/O thread for the test thread to read.
class AckBox
{
public:
    sio::Socket::AckCallback callback(const QString &key)
    {
        return [this, key](const QJsonArray &data) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_answers.insert(key, data);
            ++m_calls;
        };
    }
    bool has(const QString &key) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_answers.contains(key);
    }
    QJsonArray answer(const QString &key) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_answers.value(key);
    }
    int calls() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }

private:
    mutable std::mutex m_mutex;
    QHash<QString, QJsonArray> m_answers;
    int m_calls = 0;
};

// The peer's record of one Engine.IO connection, by position (-1: the last one).
inline QJsonObject engineAt(const NodePeer &peer, int index = -1)
{
    const QJsonArray engines =
        peer.control(QStringLiteral("state")).value(QLatin1String("engines")).toArray();
    if (engines.isEmpty())
        return QJsonObject();
    return engines.at(index < 0 ? engines.size() + index : index).toObject();
}

inline int engineCount(const NodePeer &peer)
{
    return peer.control(QStringLiteral("state")).value(QLatin1String("engines")).toArray().size();
}

// Events the peer received with the given name, oldest first.
inline QJsonArray eventsNamed(const NodePeer &peer, const QString &name)
{
    QJsonArray result;
    const QJsonArray events =
        peer.control(QStringLiteral("state")).value(QLatin1String("events")).toArray();
    for (const QJsonValue &event : events) {
        if (event.toObject().value(QLatin1String("event")).toString() == name)
            result.append(event);
    }
    return result;
}

constexpr int longWait = 30000;

} // namespace siotest

// Connects `client` (already given its sockets) to `url` and waits until "/client" is open.
#define SIO_JOIN(client, recorder, url)                                                            \
    do {                                                                                           \
        const int opened = (recorder).count(QStringLiteral("socket-open:/client"));                \
        (client).connect(url);                                                                     \
        QTRY_COMPARE_WITH_TIMEOUT((recorder).count(QStringLiteral("socket-open:/client")),         \
                                  opened + 1, siotest::longWait);                                  \
    } while (false)

#define SIO_CONNECT_AND_JOIN(client, recorder, peer) SIO_JOIN(client, recorder, (peer).baseUrl())
