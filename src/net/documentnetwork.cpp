#include "documentnetwork.h"

#include "config/configfile.h"
#include "net/servertrust.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QQmlEngine>
#include <QUrl>

namespace {

int defaultPort(const QString &scheme)
{
    return scheme == QLatin1String("https") ? 443 : scheme == QLatin1String("http") ? 80 : -1;
}

class DocumentManager : public QNetworkAccessManager
{
public:
    DocumentManager(DocumentNetwork *network, QObject *parent)
        : QNetworkAccessManager(parent), m_network(network)
    {
        ServerTrust::watch(this);
    }

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request,
                                 QIODevice *data) override
    {
        const QUrl own(ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp")));
        if (!m_network->allows(request.url(), own)) {
            if (m_network->noteRefused(request.url()))
                qWarning() << "documents: refused a request to" << request.url().scheme()
                           << request.url().host() << "(not the signed-in server)";
            // A request without a URL fails at once, with nothing sent anywhere.
            return QNetworkAccessManager::createRequest(operation, QNetworkRequest(), nullptr);
        }
        QNetworkRequest checked(request);
        if (checked.url().scheme() == QLatin1String("https"))
            checked.setSslConfiguration(ServerTrust::configuration());
        return QNetworkAccessManager::createRequest(operation, checked, data);
    }

private:
    DocumentNetwork *m_network;
};

} // namespace

DocumentNetwork::DocumentNetwork(const QStringList &ownFolders)
{
    for (const QString &folder : ownFolders) {
        if (!folder.isEmpty())
            m_ownFolders.append(QDir::cleanPath(QDir(folder).absolutePath()) + QLatin1Char('/'));
    }
}

void DocumentNetwork::install(QQmlEngine &engine)
{
    static DocumentNetwork network({QCoreApplication::applicationDirPath(), QDir::currentPath(),
                                    ConfigFile::instance()->baseDirectory()});
    engine.setNetworkAccessManagerFactory(&network);
}

QNetworkAccessManager *DocumentNetwork::create(QObject *parent)
{
    return new DocumentManager(this, parent);
}

bool DocumentNetwork::allows(const QUrl &url, const QUrl &ownServer) const
{
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data"))
        return true;
    if (url.isLocalFile()) {
        if (!url.host().isEmpty())
            return false;
        const QString path = QDir::cleanPath(url.toLocalFile());
        for (const QString &folder : m_ownFolders) {
            if (path.startsWith(folder))
                return true;
        }
        return false;
    }
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    return !ownServer.host().isEmpty() && scheme == ownServer.scheme() &&
           url.host() == ownServer.host() &&
           url.port(defaultPort(scheme)) == ownServer.port(defaultPort(ownServer.scheme()));
}

bool DocumentNetwork::noteRefused(const QUrl &url)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    const QString host = url.scheme() + QLatin1Char(':') + url.host();
    if (m_refusedHosts.contains(host))
        return false;
    m_refusedHosts.insert(host);
    return true;
}
