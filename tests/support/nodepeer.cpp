#include "nodepeer.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpSocket>

#include <memory>

#include <csignal>
#include <sys/types.h>

NodePeer::~NodePeer()
{
    stop();
}

bool NodePeer::start(const QString &script, const QStringList &args, int port)
{
    stop();
    m_output.clear();
    QStringList arguments{script, QStringLiteral("--port"), QString::number(port)};
    arguments += args;
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral(TARNEX_NODE_PROGRAM), arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    static const QRegularExpression line(
        QStringLiteral("listening on (https?://127\\.0\\.0\\.1:(\\d+))"));
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        m_output += m_process.readAll();
        const auto match = line.match(QString::fromUtf8(m_output));
        if (match.hasMatch()) {
            m_baseUrl = QUrl(match.captured(1));
            m_port = match.captured(2).toInt();
            return true;
        }
    }
    m_output += m_process.readAll();
    qWarning("node peer did not start: %s", m_output.constData());
    return false;
}

void NodePeer::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        thaw();
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    m_port = 0;
}

QJsonObject NodePeer::control(const QString &name, const QJsonObject &body) const
{
    return post(QStringLiteral("/__control/") + name, body);
}

QJsonObject NodePeer::post(const QString &path, const QJsonObject &body) const
{
    // A plain HTTP/1.1 exchange on this thread: no network access manager, whose worker threads
    // would add their own traffic to what a thread checker watches in the tests.
    const bool secure = m_baseUrl.scheme() == QLatin1String("https");
    std::unique_ptr<QTcpSocket> socket(secure ? new QSslSocket : new QTcpSocket);
    QDeadlineTimer deadline(10000);
    auto remaining = [&deadline]() { return int(qMax<qint64>(1, deadline.remainingTime())); };
    if (secure) {
        auto *ssl = static_cast<QSslSocket *>(socket.get());
        ssl->setPeerVerifyMode(QSslSocket::VerifyNone);
        ssl->connectToHostEncrypted(QStringLiteral("127.0.0.1"), quint16(m_port));
        if (!ssl->waitForEncrypted(remaining()))
            return QJsonObject();
    } else {
        socket->connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (!socket->waitForConnected(remaining()))
            return QJsonObject();
    }
    const QByteArray payload = QJsonDocument(body).toJson(QJsonDocument::Compact);
    socket->write("POST " + path.toUtf8() +
                  " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                  "Connection: close\r\nContent-Length: " +
                  QByteArray::number(payload.size()) + "\r\n\r\n" + payload);
    QByteArray response;
    while (!deadline.hasExpired()) {
        if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(remaining()))
            break; // closed by the peer (Connection: close) or timed out
        response += socket->readAll();
    }
    response += socket->readAll();
    const int headerEnd = response.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return QJsonObject();
    return QJsonDocument::fromJson(response.mid(headerEnd + 4)).object();
}

QString NodePeer::output() const
{
    m_output += const_cast<QProcess &>(m_process).readAll();
    return QString::fromUtf8(m_output);
}

void NodePeer::freeze()
{
    if (m_process.processId() > 0 && !m_frozen) {
        ::kill(pid_t(m_process.processId()), SIGSTOP);
        m_frozen = true;
    }
}

void NodePeer::thaw()
{
    if (m_process.processId() > 0 && m_frozen) {
        ::kill(pid_t(m_process.processId()), SIGCONT);
        m_frozen = false;
    }
}
