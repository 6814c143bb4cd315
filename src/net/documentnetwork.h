#pragma once

#include <QQmlNetworkAccessManagerFactory>
#include <QSet>
#include <QString>
#include <QStringList>

#include <mutex>

class QQmlEngine;
class QUrl;

// The network of the documents (pictures, rich text, anything a QML engine loads): only the
// signed-in server, with the same certificate pins as every other request, and the client's own
// files. A picture in a message that names another host is never fetched, so nobody learns who
// read the message, when, or from where; a refused host is logged once.
class DocumentNetwork : public QQmlNetworkAccessManagerFactory
{
public:
    // Local files may be read from below `ownFolders` (the installation, the settings, the
    // working folder the emoticons are found in).
    explicit DocumentNetwork(const QStringList &ownFolders);

    // Gives `engine` the client's documents network: the own folders are the installation, the
    // working folder and the settings folder. One factory serves every engine of the process.
    static void install(QQmlEngine &engine);

    // May be called on any of the engine's threads.
    QNetworkAccessManager *create(QObject *parent) override;

    // Whether a document may load `url`, the signed-in server being `ownServer`.
    bool allows(const QUrl &url, const QUrl &ownServer) const;
    // Records a refusal; true the first time for the URL's host.
    bool noteRefused(const QUrl &url);

private:
    QStringList m_ownFolders;
    std::mutex m_mutex;
    QSet<QString> m_refusedHosts;
};
