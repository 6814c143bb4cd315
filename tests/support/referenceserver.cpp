#include "referenceserver.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>
#include <sys/types.h>

ReferenceServer::~ReferenceServer()
{
    stop();
}

QString ReferenceServer::sourceDir()
{
    return QStringLiteral(TARNEX_SOURCE_DIR);
}

bool ReferenceServer::start(const QStringList &extraArgs)
{
    stop();
    QStringList args{sourceDir() + QStringLiteral("/server/server.js"), QStringLiteral("--port"),
                     QStringLiteral("0"), QStringLiteral("--test-hooks")};
    args += extraArgs;
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral(TARNEX_NODE_PROGRAM), args);
    if (!m_process.waitForStarted(10000))
        return false;
    static const QRegularExpression portLine(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"));
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        m_output += m_process.readAll();
        const auto match = portLine.match(QString::fromUtf8(m_output));
        if (match.hasMatch()) {
            m_port = match.captured(1).toInt();
            return true;
        }
    }
    m_output += m_process.readAll();
    qWarning("reference server did not start: %s", m_output.constData());
    return false;
}

void ReferenceServer::stop()
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

QString ReferenceServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QUrl ReferenceServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

QJsonObject ReferenceServer::hook(const QString &name, const QJsonObject &body) const
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(baseUrl().toString() + QStringLiteral("/__hooks/") + name));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply *reply =
        manager.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const QJsonObject result = QJsonDocument::fromJson(reply->readAll()).object();
    reply->abort();
    reply->deleteLater();
    return result;
}

QString ReferenceServer::output() const
{
    auto *process = const_cast<QProcess *>(&m_process);
    m_output += process->readAll();
    return QString::fromUtf8(m_output);
}

void ReferenceServer::freeze()
{
    if (m_process.processId() > 0)
        ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void ReferenceServer::thaw()
{
    if (m_process.processId() > 0)
        ::kill(pid_t(m_process.processId()), SIGCONT);
}
