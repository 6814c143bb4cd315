#include "client.h"

#include "clientcore.h"
#include "clientshared.h"
#include "siolog.h"

#include <QThread>

#include <chrono>
#include <future>
#include <memory>

namespace sio {

namespace {

// How long the destructor waits for the I/O thread: the close itself is bounded well below this;
// only an owner callback that blocks can exceed it.
constexpr unsigned long shutdownWaitMs = 5000;

QString normalizedNsp(const QString &nsp)
{
    if (nsp.isEmpty())
        return QStringLiteral("/");
    return nsp.startsWith(QLatin1Char('/')) ? nsp : QLatin1Char('/') + nsp;
}

} // namespace

Client::Client() : m_shared(std::make_shared<ClientShared>()), m_thread(new QThread)
{
    m_thread->setObjectName(QStringLiteral("sio"));
    auto *core = new ClientCore(m_shared);
    core->moveToThread(m_thread);
    m_shared->attach(core, m_thread);
    // Made here, on the owner's thread, and armed only when the destructor cannot wait for the
    // thread: then the finished thread deletes its own QThread object.
    QObject::connect(m_thread, &QThread::finished, m_thread,
                     [thread = m_thread, shared = m_shared]() {
                         if (shared->orphaned.load())
                             thread->deleteLater();
                     });
    m_thread->start();
}

Client::~Client()
{
    QThread *thread = m_thread;
    // Queued behind everything emitted before, so a last notice still goes out.
    m_shared->detach([shared = m_shared](ClientCore *core) {
        core->shutdown();
        delete core;
        QThread::currentThread()->quit();
        shared->finished.store(true, std::memory_order_release);
    });
    if (QThread::currentThread() == thread) {
        // Destroyed from one of its own callbacks: the I/O thread cannot wait for itself, so it
        // shuts down once that callback has returned, and the thread object goes after it.
        m_shared->orphaned = true;
        return;
    }
    if (!thread->wait(shutdownWaitMs)) {
        qCWarning(lcSio) << "the I/O thread is still busy in a callback; leaving it behind";
        m_shared->orphaned = true;
        return;
    }
    // Orders everything the I/O thread did before our teardown, also for thread checkers that
    // cannot see inside QThread::wait.
    (void)m_shared->finished.load(std::memory_order_acquire);
    delete thread;
}

void Client::connect(const QUrl &base, const QMap<QString, QString> &query)
{
    ClientCore::Settings settings;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        settings.connectTimeoutMs = m_connectTimeoutMs;
        settings.ackTimeoutMs = m_ackTimeoutMs;
        settings.verifyPeer = m_verifyPeer;
        settings.certificateJudge = m_certificateJudge;
        settings.engineVersion = int(m_engineVersion);
    }
    m_shared->run(
        [base, query, settings](ClientCore *core) { core->connectTo(base, query, settings); });
}

void Client::close()
{
    // Not open from here on, although the I/O thread only gets to the close a moment later.
    m_shared->open = false;
    m_shared->run([](ClientCore *core) { core->close(); });
}

bool Client::settle(int limitMs)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> settled = done->get_future();
    if (!m_shared->run([done](ClientCore *) { done->set_value(); }))
        return true;
    return settled.wait_for(std::chrono::milliseconds(limitMs)) == std::future_status::ready;
}

bool Client::isOpen() const
{
    return m_shared->open.load();
}

std::shared_ptr<Socket> Client::socket(const QString &nsp)
{
    const QString name = normalizedNsp(nsp);
    std::shared_ptr<Socket> socket;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        socket = m_sockets.value(name);
        if (socket)
            return socket;
        socket = std::shared_ptr<Socket>(new Socket(name, m_shared));
        m_sockets.insert(name, socket);
    }
    m_shared->run([socket](ClientCore *core) { core->addNamespace(socket); });
    return socket;
}

void Client::setOpenListener(Listener listener)
{
    m_shared->setOpenListener(std::move(listener));
}

void Client::setFailListener(ReasonListener listener)
{
    m_shared->setFailListener(std::move(listener));
}

void Client::setReconnectingListener(ReasonListener listener)
{
    m_shared->setReconnectingListener(std::move(listener));
}

void Client::setSocketOpenListener(SocketListener listener)
{
    m_shared->setSocketOpenListener(std::move(listener));
}

void Client::setSocketCloseListener(SocketCloseListener listener)
{
    m_shared->setSocketCloseListener(std::move(listener));
}

void Client::clearListeners()
{
    m_shared->clearListeners();
}

void Client::setConnectTimeout(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_connectTimeoutMs = qMax(1, ms);
}

void Client::setAckTimeout(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ackTimeoutMs = qMax(1, ms);
}

void Client::setPeerVerification(bool verify)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_verifyPeer = verify;
}

void Client::setCertificateJudge(CertificateJudge judge)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_certificateJudge = std::move(judge);
}

void Client::setEngineVersion(EngineVersion version)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_engineVersion = version;
}

} // namespace sio
